#include "program/cli_list_ports.h"

#include <cstdio>

#include "platform/serial_ports.h"

int ListSerialPortsToStdout() {
  std::fputs(platform::FormatPortTable(platform::ListSerialPorts()).c_str(), stdout);
  return 0;
}
