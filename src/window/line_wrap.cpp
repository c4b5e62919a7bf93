#include "window/line_wrap.h"

#include <algorithm>

size_t NextRowStart(std::string_view line, size_t start, size_t columns) {
  columns = std::max<size_t>(columns, 1);
  if (line.size() - start <= columns) return line.size();
  size_t end = start + columns;
  if (line[end] == ' ') {
    while (end < line.size() && line[end] == ' ') ++end;
    return end;
  }
  const size_t blank = line.substr(start, columns).rfind(' ');
  return blank == std::string_view::npos ? end : start + blank + 1;
}

size_t RowCount(std::string_view line, size_t columns) {
  size_t rows = 1;
  for (size_t at = NextRowStart(line, 0, columns); at < line.size();
       at = NextRowStart(line, at, columns)) {
    ++rows;
  }
  return rows;
}
