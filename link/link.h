// The link to the unit: opening and closing the serial or TCP link, command
// framing with its checksum, one command / one reply line (sendRcv), reply
// parsing (Parser) and the binary-read mode used by the configuration read
// and the download. Every command of the station goes through here.
#pragma once

#include "core/station.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace lumvex {

constexpr int kRestingTimeoutMs = 2000;
constexpr size_t kReplyFieldCapacity = 255;

// Builds a complete command line from its body ("TRIGGERSET#2#"): appends the
// decimal byte sum of the body modulo 256 and CR LF.
std::string CommandFrame(std::string_view body);
// The checksum of a body: sum of its bytes modulo 256.
int FrameChecksum(std::string_view body);

int ConnectSerial(Station& st, int portIndex);
// address may be "host" or "host:port"; port1066 nonzero selects 1066 instead of 3000
// (an explicit port wins).
int ConnectEthernet(Station& st, std::string_view address, int port1066);
int EthernetSync(Station& st);
void Disconnect(Station& st);

// Sends the command line held in `buffer` and replaces it with the reply line.
// 0 success, -1 I/O error (operator already asked Continue / Disconnect),
// -2 link lost (link closed, operator told). "Disconnect" closes the link,
// ends the live display and I/O check, returns to page 0 and has the screens
// follow (Station::refreshScreens).
int sendRcv(Station& st, std::string& buffer);

// Splits a reply into its two data fields and checks name and checksum.
// 0 when well formed, -1 otherwise. Fields longer than their capacity fail.
int Parser(std::string_view expectedName, std::string_view reply, std::string& first, std::string& second,
           size_t firstCapacity = kReplyFieldCapacity, size_t secondCapacity = kReplyFieldCapacity);

// Read time-out of the link in ms (0 = wait forever); returns 0 or -1.
// kRestingTimeoutMs stands for the session's resting value
// (SessionState::restingTimeoutMs, 2000 ms unless a test lowered it), so that
// restoring the resting time-out after a long command keeps a lowered one.
int SetLinkTimeout(Station& st, int ms);
// Binary mode: termination on LF off (on = false) / on again (on = true).
int SetLineMode(Station& st, bool on);
// Writes raw bytes. 0, -1 I/O error, -2 link lost.
int WriteRaw(Station& st, const void* data, size_t n);
// Reads exactly n bytes in binary mode (or fewer at a time-out); `got` receives
// the count. 0 when n bytes arrived, -1 time-out or error, -2 link lost.
int ReadRaw(Station& st, void* data, size_t n, size_t& got);
// Reads what arrives within the time-out, at most n bytes (got >= 1 on
// success). 0, -1 time-out or error, -2 link lost.
int ReadSome(Station& st, void* data, size_t n, size_t& got);
// Reads one line (up to LF, at most max bytes) without writing anything
// first, for replies that follow another reply. 0, -1 time-out or error,
// -2 link lost; no message is shown.
int ReadLine(Station& st, std::string& line, size_t max);
// Discards anything waiting in the link's input.
void ClearLink(Station& st);
// True while a link is open.
bool LinkOpen(const Station& st);

// Splits "host", "host:port", "[v6]:port" into host and port; the port stays
// `port` when none is given. false when the port is not a number 1..65535.
bool SplitHostPort(std::string_view address, std::string& host, int& port);

}  // namespace lumvex
