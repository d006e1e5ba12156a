// Where the application's alerts go: a modal dialog in the program, a record in
// the tests, which cannot answer a dialog. Main thread only.
#pragma once

#include <string>

namespace brevlin::clap_host::standalone {

class AlertSink {
public:
    virtual ~AlertSink() = default;
    // Shows `title` and `text` with one "OK" button; returns once it is dismissed.
    virtual void showAlert(const std::string& title, const std::string& text) = 0;
};

}  // namespace brevlin::clap_host::standalone
