#pragma once
// The bit rate a terminal's settings give, and setting one. On a
// pseudo-terminal the master sees the settings the host made on the slave, so
// the board can tell at which rate the host believes the line runs.
namespace flash::sim {

// The output rate of the terminal settings of fd; 0 when they cannot be read.
int ReadLineRate(int fd);
// Sets input and output rate; false when the settings cannot be changed.
bool WriteLineRate(int fd, int rate);

}  // namespace flash::sim
