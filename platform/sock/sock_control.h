#pragma once
// Test controls of our socket library: take it away, hide one of its functions, make the next
// send or sendto would-block or send only part, make the next connect fail, act at the moment a
// read finds nothing. Each test starts from ResetSocketControls(); the library is offered again
// by it.

#include <functional>
#include <string>

namespace platform {

// Offers "wsock32" to LoadLibraryA (done at start-up) or withdraws it.
void SetSocketLibraryPresent(bool present);
// GetProcAddress finds no function of that name (empty: hide none).
void HideSocketFunction(const std::string& name);
// The next send or sendto fails with WSAEWOULDBLOCK and sends nothing.
void FailNextSend();
// The next send sends at most this many bytes (a partial send, as a full socket buffer makes).
void LimitNextSend(int bytes);
// Runs once, right after a recv or recvfrom next finds nothing waiting and before it returns: a
// test delivers data at the moment a reader has just seen the socket empty.
void OnNextEmptyRead(std::function<void()> action);
// The next connect fails at once with this WSA error number.
void FailNextConnect(int wsaError);
// Closes every socket the library still holds and clears every control.
void ResetSocketControls();
// Sockets the library holds open (tests check that closing left none behind).
int OpenSocketCount();

}  // namespace platform
