#include "program/cli_list_ports.h"

#include <cstdio>

int ListSerialPortsToStdout() {
  std::fprintf(stderr, "no serial-port listing in this build\n");
  return 1;
}
