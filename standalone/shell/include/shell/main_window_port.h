// What the application needs of its main window: the area below the menu bar that
// holds the plug-in's window, and the file choosers of the state-file actions. The
// program's GTK window in the program, a recording stand-in in the tests. Main
// thread only.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace brevlin::clap_host::standalone {

class MainWindowPort {
public:
    virtual ~MainWindowPort() = default;

    // Raises the window above the others without taking the keyboard focus.
    virtual void orderFront() = 0;
    // Makes the area below the menu bar exactly width x height.
    virtual void setContentSize(uint32_t width, uint32_t height) = 0;
    // Whether the user may resize the window; only a plug-in that accepts other
    // sizes lets them.
    virtual void setUserResizable(bool resizable) = 0;
    // The X11 window the plug-in's window goes into, of the content size. It exists
    // on the X server when this returns, so another connection may use it at once.
    virtual unsigned long pluginParentWindow() = 0;
    // The file the user chose to save the state to, or to open, starting in
    // `folder` (the save chooser with `name` typed in); none when they cancelled or
    // the program is quitting.
    virtual std::optional<std::filesystem::path> chooseStateFileToSave(const std::filesystem::path& folder,
                                                                       const std::string& name) = 0;
    virtual std::optional<std::filesystem::path> chooseStateFileToOpen(const std::filesystem::path& folder) = 0;
    // Whether the user agrees that `file`, which exists, be replaced; false also
    // when the program is quitting.
    virtual bool confirmReplace(const std::filesystem::path& file) = 0;
};

}  // namespace brevlin::clap_host::standalone
