// The framing half of CConnectionServer: the received byte stream cut into lines and
// announced payloads, and the queue that feeds the dispatcher.
#include <algorithm>
#include <cstring>
#include <locale>
#include <new>
#include <sstream>

#include "net/ConnectionServer.h"
#include "net/ServerSockets.h"
#include "platform/Clock.h"
#include "protocol/CommandDispatcher.h"
#include "protocol/CommandExecutor.h"

namespace {

constexpr char kReadAck[4] = {0x0A, 0x00, 0x00, 0x00};
constexpr uint32_t kPacingMs = 23;
constexpr int kDiscardChunk = 4096;

bool IsDroppedRemainder(const char* text) {
    return std::strcmp(text, "66") == 0 || std::strcmp(text, "67") == 0;
}

// "700", one separator character, the size. A size that can't be read counts as 0.
int32_t PayloadSizeFromHeader(const char* line) {
    std::istringstream in(line);
    in.imbue(std::locale::classic());
    int code = 0;
    char separator = 0;
    int32_t size = 0;
    if (!(in >> code >> separator >> size)) return 0;
    return size;
}

}  // namespace

void CConnectionServer::OnDataReceived(CConnectionSocket* connection) {
    ReadIncoming(connection);
    if (m_pListenSocket) ProcessQueuedLines(false);
}

void CConnectionServer::ReadIncoming(CConnectionSocket* connection) {
    if (m_payloadSize > 0) {
        ReadPayloadMode(connection);
    } else {
        ReadLineMode(connection);
    }
}

void CConnectionServer::ReadLineMode(CConnectionSocket* connection) {
    char received[kReadSize + 1];
    int n = connection->Receive(received, kReadSize);
    n = std::clamp(n, 0, kReadSize);
    received[n] = '\0';
    connection->Send(kReadAck, sizeof(kReadAck));

    // A NUL in the data ends the text there.
    size_t pendingLength = std::strlen(m_pending);
    const size_t newLength = std::strlen(received);
    // Room for the pending text, the read, a line feed that may be appended and the NUL.
    if (pendingLength + newLength + 2 > static_cast<size_t>(kWorkAreaSize)) {
        // A line this long can't be a command: drop it up to its end.
        pendingLength = 0;
        m_pending[0] = '\0';
        m_droppingLongLine = true;
    }
    char work[kWorkAreaSize];
    std::memcpy(work, m_pending, pendingLength);
    std::memcpy(work + pendingLength, received, newLength + 1);
    char* text = work;
    if (m_droppingLongLine) {
        char* end = std::strchr(text, '\n');
        if (!end) {
            // A short read ends the message, and with it the long line.
            if (n < kReadSize) m_droppingLongLine = false;
            m_pending[0] = '\0';
            return;
        }
        m_droppingLongLine = false;
        text = end + 1;
    }
    if (!std::strchr(work, '\n') && n < kReadSize) std::strcat(work, "\n");
    CutLines(text);
}

void CConnectionServer::CutLines(char* text) {
    char* start = text;
    for (char* end = std::strchr(start, '\n'); end; end = std::strchr(start, '\n')) {
        if (std::strncmp(start, "700", 3) == 0) {
            // The rest of this read is not used; the payload follows the acknowledgement.
            end[1] = '\0';
            TakePayloadHeader(start);
            m_pending[0] = '\0';
            return;
        }
        m_lineQueue.emplace_back(start, end + 1);
        start = end + 1;
    }
    if (IsDroppedRemainder(start)) {
        m_pending[0] = '\0';
        return;
    }
    // The remainder is never longer than the work area, which is the pending buffer's size.
    std::memmove(m_pending, start, std::strlen(start) + 1);
}

void CConnectionServer::TakePayloadHeader(const char* line) {
    m_payloadSize = PayloadSizeFromHeader(line);
    m_payloadReceived = 0;
    m_discardPayload = m_payloadSize > kMaxPayloadSize;
}

void CConnectionServer::ReadPayloadMode(CConnectionSocket* connection) {
    if (m_payloadReceived == 0 && !m_pPayload && !m_discardPayload) {
        // Before the password nothing but the greeting and the password is obeyed. Decided
        // here rather than at the header, so that a password sent just before it counts.
        if (IsRestricted()) {
            m_discardPayload = true;
        } else {
            m_pPayload.reset(new (std::nothrow) char[m_payloadSize]);
            m_discardPayload = !m_pPayload;
        }
    }
    const int32_t remaining = m_payloadSize - m_payloadReceived;
    int n = 0;
    if (m_discardPayload) {
        char scratch[kDiscardChunk];
        n = connection->Receive(scratch, std::min<int32_t>(remaining, kDiscardChunk));
    } else {
        n = connection->Receive(m_pPayload.get() + m_payloadReceived, remaining);
    }
    if (n > 0) m_payloadReceived += std::min<int32_t>(n, remaining);
    if (m_payloadReceived >= m_payloadSize) FinishPayload();
}

void CConnectionServer::FinishPayload() {
    const int32_t size = m_payloadSize;
    const bool deliver = !m_discardPayload && m_pPayload && !IsRestricted();
    m_payloadSize = -1;
    m_payloadReceived = -1;
    m_discardPayload = false;
    // Framing is back in line mode with no buffer attached before the hand-over, which may
    // run a modal dialog whose message loop reads more.
    std::unique_ptr<char[]> block = std::move(m_pPayload);
    if (!deliver || !m_pDispatcher || !m_pDispatcher->m_pExecutor) return;
    m_pDispatcher->m_pExecutor->ReceiveRemoteScreen(block.get(), size);
}

void CConnectionServer::ResetFraming() {
    m_pending[0] = '\0';
    m_payloadSize = -1;
    m_payloadReceived = -1;
    m_pPayload.reset();
    m_discardPayload = false;
    m_droppingLongLine = false;
}

void CConnectionServer::ProcessQueuedLines(bool paced) {
    if (!m_pDispatcher || !m_serverOn) return;
    // Lines that arrive while this batch runs (a modal dialog pumps messages) wait for the
    // next call.
    std::list<std::string> batch;
    batch.swap(m_lineQueue);
    for (const std::string& line : batch) {
        const bool restricted = IsRestricted();
        m_pDispatcher->DispatchLine(line.c_str(), restricted);
        if (paced && m_services.clock) m_services.clock->Sleep(kPacingMs);
    }
}
