#pragma once
// --list-ports: the serial devices of this machine, one a line on stdout. Returns the exit
// code.

int ListSerialPortsToStdout();
