// IPv4 sockets on BSD sockets, in the shape the stack's socket layer was designed around: handles
// that are -1 when invalid, addresses as 32-bit values in network byte order, ports in host order,
// and failures reported as Winsock-style codes (see kvGetLastSocketError in KvPlatformSync.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

using KvSocketHandle = int;
constexpr KvSocketHandle kKvInvalidSocket = -1;
// inet_addr's "no address" value, which is also the dotted text 255.255.255.255.
constexpr uint32_t kKvAddressNone = 0xFFFFFFFFu;

// Start-up and clean-up of the socket library: nothing to do here, so they always succeed. The
// granted version is the one asked for.
int32_t kvSocketStartup(uint8_t major, uint8_t minor, uint16_t* grantedVersion);
void kvSocketCleanup();

// Every call below returns -1 on failure with errno set (read it through kvGetLastSocketError),
// unless it says otherwise. Descriptors are opened close-on-exec; interrupted calls are retried.
KvSocketHandle kvSocketOpen(bool stream);
int32_t kvSocketClose(KvSocketHandle handle);
// Ends both directions, which wakes any thread blocked in a receive, send or accept on the handle.
int32_t kvSocketShutdown(KvSocketHandle handle);
int32_t kvSocketBind(KvSocketHandle handle, uint32_t address, uint16_t port);
int32_t kvSocketListen(KvSocketHandle handle, int32_t backlog);
KvSocketHandle kvSocketAccept(KvSocketHandle handle, uint32_t* address, uint16_t* port);
int32_t kvSocketConnect(KvSocketHandle handle, uint32_t address, uint16_t port);

// Sends never raise SIGPIPE. One call, which may send fewer bytes than asked.
int32_t kvSocketSend(KvSocketHandle handle, const void* buffer, uint32_t length);
// The same without waiting: what the socket takes at once, or -1 with the would-block error when
// it has no room.
int32_t kvSocketSendNow(KvSocketHandle handle, const void* buffer, uint32_t length);
// Waits at most the given time for room to send (or for the socket to fail or be shut down, which
// the next send reports): 1 then, 0 when the time ran out or a signal came first, -1 on failure.
int32_t kvSocketWaitWritable(KvSocketHandle handle, uint32_t milliseconds);
int32_t kvSocketReceive(KvSocketHandle handle, void* buffer, uint32_t length);
int32_t kvSocketSendTo(KvSocketHandle handle, const void* buffer, uint32_t length, uint32_t address,
                       uint16_t port);
// Receives one datagram and returns its full length, which is larger than `length` when the
// datagram did not fit (the bytes beyond the buffer are lost).
int32_t kvSocketReceiveFrom(KvSocketHandle handle, void* buffer, uint32_t length, uint32_t* address,
                            uint16_t* port);
// Copies up to `length` pending bytes without consuming them and without waiting; 0 when nothing
// is pending or the peer has closed.
int32_t kvSocketPeek(KvSocketHandle handle, void* buffer, uint32_t length);

int32_t kvSocketSetBufferSizes(KvSocketHandle handle, int32_t sendSize, int32_t receiveSize);
int32_t kvSocketSetReuseAddress(KvSocketHandle handle, bool on);
int32_t kvSocketSetNoDelay(KvSocketHandle handle, bool on);
int32_t kvSocketGetName(KvSocketHandle handle, uint32_t* address, uint16_t* port);
int32_t kvSocketGetPeerName(KvSocketHandle handle, uint32_t* address, uint16_t* port);

int32_t kvSocketJoinGroup(KvSocketHandle handle, uint32_t group, uint32_t interfaceAddress);
int32_t kvSocketLeaveGroup(KvSocketHandle handle, uint32_t group, uint32_t interfaceAddress);
int32_t kvSocketSetMulticastTtl(KvSocketHandle handle, uint8_t ttl);
// The time-to-live, or 0 when it cannot be read.
uint8_t kvSocketGetMulticastTtl(KvSocketHandle handle);

// Dotted-decimal text to address (kKvAddressNone when it is not one), and back. The text is the
// calling thread's own and stays valid until its next call.
uint32_t kvInetAddr(const char* text);
const char* kvInetNtoa(uint32_t address);

// Forward and reverse look-up. Both return 0 on success or a Winsock-style code (11001 host not
// found, 11002 try again, 11003 non-recoverable, 11004 no address of that kind).
uint32_t kvResolveHostName(const char* name, uint32_t* address);
uint32_t kvResolveHostAddress(uint32_t address, std::string* name);
// The machine's host name, NUL-terminated; -1 when it does not fit or cannot be read.
int32_t kvGetMachineHostName(char* buffer, size_t size);

// The local time as "MM/DD/YYYY hh:mm:ss.mmm", NUL-terminated and cut to the buffer.
void kvFormatLocalTimestamp(char* buffer, size_t size);
