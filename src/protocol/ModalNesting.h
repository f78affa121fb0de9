#pragma once

// Counts the modal loops (file dialogs, message boxes) that the device's commands have
// open inside each other. Each runs a nested message loop on the stack, so a device sending
// request after request must not be able to stack them without end.
class CModalNesting {
public:
    static constexpr int kMaxDepth = 8;

    // Held while one modal loop runs.
    class Scope {
    public:
        explicit Scope(CModalNesting& nesting) : m_nesting(nesting) { ++m_nesting.m_depth; }
        ~Scope() { --m_nesting.m_depth; }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        CModalNesting& m_nesting;
    };

    // False once kMaxDepth loops are open: the request is then dropped.
    bool CanOpen() const { return m_depth < kMaxDepth; }
    int Depth() const { return m_depth; }

private:
    int m_depth = 0;
};
