# Every target of ours compiles with the same warnings; none may be left.
add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor)
