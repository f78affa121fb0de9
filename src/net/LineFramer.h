#pragma once
#include <cstdint>
#include <list>
#include <memory>
#include <string>

// Cuts the device's byte stream into command lines and announced payloads. Lines arrive in
// reads of at most kReadSize bytes; a read shorter than that ends the device's message, so
// an unterminated rest counts as a whole line. A line "700:<size>" announces a payload of
// that many bytes, which follows in reads of its own.
class CLineFramer {
public:
    static constexpr int kReadSize = 512;
    static constexpr int kWorkAreaSize = 2048;
    // Larger announcements, or payloads held together beyond this, are read and thrown away
    // instead of being allocated.
    static constexpr int32_t kMaxPayloadSize = 64 * 1024 * 1024;
    static constexpr int kDiscardChunk = 4096;

    struct Payload {
        std::unique_ptr<char[]> data;
        int32_t size = 0;
    };

    // True while the bytes to come belong to an announced payload.
    bool InPayload() const { return m_payloadSize > 0; }

    // One read in line mode (count bytes, clamped to 0..kReadSize); complete lines, each
    // with its line feed, are appended to lines.
    void TakeLineRead(const char* data, int count, std::list<std::string>& lines);

    // Where the next payload bytes go and how many may be read now. restricted is decided
    // at the first read: a payload before the password is read only to be thrown away, and
    // so is one that doesn't fit beside the held bytes of payloads still being handled.
    char* PayloadSpace(bool restricted, int64_t held, int* room);
    // Counts the bytes read into PayloadSpace; true when the payload is complete.
    bool TakePayloadRead(int count);
    // The completed payload and back to line mode; empty when it was thrown away or the
    // device is still restricted now.
    Payload TakePayload(bool restricted);

    // Forgets everything half-received.
    void Reset();
    // The unterminated rest of the last read, waiting for its line feed.
    const std::string& Pending() const { return m_pending; }

private:
    void CutLines(const char* text, const char* textEnd, std::list<std::string>& lines);
    void TakePayloadHeader(const char* line, size_t length);

    std::string m_pending;
    // Where the pending text and a read are joined; kept to save an allocation per read.
    std::string m_work;
    int32_t m_payloadSize = -1;
    int32_t m_payloadReceived = -1;
    std::unique_ptr<char[]> m_payload;
    char m_scratch[kDiscardChunk] = {};
    // Set for a payload that is read only to keep the framing in step: too large, or
    // announced before the password.
    bool m_discardPayload = false;
    // Set while the rest of an over-long unterminated line is being skipped.
    bool m_droppingLongLine = false;
};
