#pragma once
// Test controls of our socket library: take it away, hide one of its functions, make the next
// send or sendto would-block, make the next connect fail. Each test starts from
// ResetSocketControls(); the library is offered again by it.

#include <string>

namespace platform {

// Offers "wsock32" to LoadLibraryA (done at start-up) or withdraws it.
void SetSocketLibraryPresent(bool present);
// GetProcAddress finds no function of that name (empty: hide none).
void HideSocketFunction(const std::string& name);
// The next send or sendto fails with WSAEWOULDBLOCK and sends nothing.
void FailNextSend();
// The next connect fails at once with this WSA error number.
void FailNextConnect(int wsaError);
// Closes every socket the library still holds and clears every control.
void ResetSocketControls();
// Sockets the library holds open (tests check that closing left none behind).
int OpenSocketCount();

}  // namespace platform
