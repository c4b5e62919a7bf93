#pragma once
// Wrapping a line of a monospaced pane into rows of at most `columns` characters: a row ends
// after its last blank when the next word would not fit, or at the width when the row has no
// blank; blanks at a row's end hang past the width rather than start the next row.

#include <cstddef>
#include <string_view>

// Where the row after the one starting at `start` begins; line.size() when this is the last.
size_t NextRowStart(std::string_view line, size_t start, size_t columns);
// The rows the line takes; an empty line takes one.
size_t RowCount(std::string_view line, size_t columns);
