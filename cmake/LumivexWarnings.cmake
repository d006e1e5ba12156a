# The strict build is the default for every target of ours.
add_compile_options(-Wall -Wextra -Werror)
# The chip's arithmetic must stay bit-exact: no contraction of a*b+c into FMA, no
# value-changing math shortcuts. (-march=native and -ffast-math are never used.)
add_compile_options(-ffp-contract=off)
