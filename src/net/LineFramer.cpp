#include "net/LineFramer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

namespace {

bool IsDroppedRemainder(const char* text, size_t length) {
    return length == 2 && text[0] == '6' && (text[1] == '6' || text[1] == '7');
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

const char* SkipBlanks(const char* at, const char* end) {
    while (at < end && IsBlank(*at)) ++at;
    return at;
}

// A number as formatted input reads an int: blanks, an optional sign, digits; false when
// there are none or the value doesn't fit.
bool ReadInt(const char*& at, const char* end, int32_t* value) {
    at = SkipBlanks(at, end);
    bool negative = false;
    if (at < end && (*at == '+' || *at == '-')) negative = *at++ == '-';
    if (at >= end || *at < '0' || *at > '9') return false;
    int64_t magnitude = 0;
    bool overflow = false;
    for (; at < end && *at >= '0' && *at <= '9'; ++at) {
        if (!overflow) magnitude = magnitude * 10 + (*at - '0');
        overflow = overflow || magnitude > INT32_MAX + int64_t{1};
    }
    const int64_t signedValue = negative ? -magnitude : magnitude;
    if (overflow || signedValue > INT32_MAX || signedValue < INT32_MIN) return false;
    *value = static_cast<int32_t>(signedValue);
    return true;
}

// The code, one separator character, the size. A size that can't be read counts as 0.
int32_t PayloadSizeFromHeader(const char* line, size_t length) {
    const char* at = line;
    const char* end = line + length;
    int32_t code = 0;
    int32_t size = 0;
    if (!ReadInt(at, end, &code)) return 0;
    at = SkipBlanks(at, end);
    if (at >= end) return 0;
    ++at;
    if (!ReadInt(at, end, &size)) return 0;
    return size;
}

}  // namespace

void CLineFramer::TakeLineRead(const char* data, int count, std::list<std::string>& lines) {
    const int n = std::clamp(count, 0, kReadSize);
    // A NUL in the data ends the text there.
    const size_t newLength = data ? static_cast<size_t>(std::find(data, data + n, '\0') - data) : 0;
    // Room for the pending text, the read, a line feed that may be appended and the NUL.
    if (m_pending.size() + newLength + 2 > static_cast<size_t>(kWorkAreaSize)) {
        // A line this long can't be a command: drop it up to its end.
        m_pending.clear();
        m_droppingLongLine = true;
    }
    // The pending text and the read, joined in a buffer that is kept from read to read.
    m_work.swap(m_pending);
    m_pending.clear();
    if (newLength > 0) m_work.append(data, newLength);
    size_t start = 0;
    if (m_droppingLongLine) {
        const size_t end = m_work.find('\n');
        if (end == std::string::npos) {
            // A short read ends the message, and with it the long line.
            if (n < kReadSize) m_droppingLongLine = false;
            return;
        }
        m_droppingLongLine = false;
        start = end + 1;
    }
    if (m_work.find('\n') == std::string::npos && n < kReadSize) m_work += '\n';
    CutLines(m_work.data() + start, m_work.data() + m_work.size(), lines);
}

void CLineFramer::CutLines(const char* text, const char* textEnd, std::list<std::string>& lines) {
    const char* start = text;
    for (;;) {
        const auto* end = static_cast<const char*>(
            std::memchr(start, '\n', static_cast<size_t>(textEnd - start)));
        if (!end) break;
        if (end - start >= 3 && std::memcmp(start, "700", 3) == 0) {
            // The rest of this read is not used; the payload follows the acknowledgement.
            TakePayloadHeader(start, static_cast<size_t>(end + 1 - start));
            return;
        }
        lines.emplace_back(start, end + 1);
        start = end + 1;
    }
    const auto rest = static_cast<size_t>(textEnd - start);
    if (IsDroppedRemainder(start, rest)) return;
    m_pending.assign(start, rest);
}

void CLineFramer::TakePayloadHeader(const char* line, size_t length) {
    m_payloadSize = PayloadSizeFromHeader(line, length);
    m_payloadReceived = 0;
    m_discardPayload = m_payloadSize > kMaxPayloadSize;
}

char* CLineFramer::PayloadSpace(bool restricted, int64_t held, int* room) {
    if (m_payloadReceived == 0 && !m_payload && !m_discardPayload) {
        // Before the password nothing but the greeting and the password is obeyed. Decided
        // here rather than at the header, so that a password sent just before it counts.
        if (restricted || held + m_payloadSize > kMaxPayloadSize) {
            m_discardPayload = true;
        } else {
            m_payload.reset(new (std::nothrow) char[m_payloadSize]);
            m_discardPayload = !m_payload;
        }
    }
    const int32_t remaining = m_payloadSize - m_payloadReceived;
    if (m_discardPayload) {
        *room = std::min<int32_t>(remaining, kDiscardChunk);
        return m_scratch;
    }
    *room = remaining;
    return m_payload.get() + m_payloadReceived;
}

bool CLineFramer::TakePayloadRead(int count) {
    const int32_t remaining = m_payloadSize - m_payloadReceived;
    if (count > 0) m_payloadReceived += std::min<int32_t>(count, remaining);
    return m_payloadReceived >= m_payloadSize;
}

CLineFramer::Payload CLineFramer::TakePayload(bool restricted) {
    Payload payload;
    const bool deliver = !m_discardPayload && m_payload && !restricted;
    payload.size = m_payloadSize;
    std::unique_ptr<char[]> block = std::move(m_payload);
    m_payloadSize = -1;
    m_payloadReceived = -1;
    m_discardPayload = false;
    if (deliver) payload.data = std::move(block);
    return payload;
}

void CLineFramer::Reset() {
    m_pending.clear();
    m_payloadSize = -1;
    m_payloadReceived = -1;
    m_payload.reset();
    m_discardPayload = false;
    m_droppingLongLine = false;
}
