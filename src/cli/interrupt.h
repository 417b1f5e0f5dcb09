#pragma once
// What orvane-cli does when it is interrupted (SIGINT, SIGTERM, SIGHUP):
// an outside converter still running is ended with its process group,
// every temporary file and scratch folder still listed is removed, and the
// program ends with 128 + the signal's number.

namespace orvane::cli {

// Call first in main, before any other thread starts: the signals are then
// taken by one thread of their own, which may remove files safely.
void handle_interrupts();

}  // namespace orvane::cli
