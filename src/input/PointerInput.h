#pragma once
#include <atomic>
#include <cstdint>
#include <thread>

#include "platform/Geometry.h"
#include "protocol/CommandParts.h"

class IClock;
class IMainWindow;
class IPointerDevice;
class IWindowSystem;
enum class Button : uint8_t;

// The device's pointer: moves, buttons, the wheel, window dragging and the glide, which
// carries a move or a scroll on by itself on a thread of its own.
class CPointerInput : public IPointerCommands {
public:
    CPointerInput(IPointerDevice& pointer, IWindowSystem& windows, IMainWindow& mainWindow,
                  IClock& clock);
    ~CPointerInput() override;
    CPointerInput(const CPointerInput&) = delete;
    CPointerInput& operator=(const CPointerInput&) = delete;

    void MoveCursorBy(float dx, float dy) override;
    void ButtonDown(int button) override;
    void ButtonUp(int button) override;
    void ClickButton(int button, int count) override;
    void GrabWindowUnderCursor() override;
    void DragGrabbedWindowBy(float dx, float dy) override;
    void ReleaseGrabbedWindow() override;
    void ScrollWheel(float dx, float dy) override;
    void StartCursorGlide(float vx, float vy, float decay) override;
    void StartScrollGlide(float vx, float vy, float decay) override;
    void StopGlide() override;
    void SetBounceOffEdges(bool on) override;
    void EndDeviceInput() override;

    // Whether a glide worker is running, and until it has finished.
    bool Gliding() const { return m_glideDecay > 0; }
    WindowHandle GrabbedWindow() const { return m_grabbedWindow; }

private:
    void PressOrRaw(int button, bool down);
    void Press(Button button);
    void StartGlide(float vx, float vy, float decay, bool scrolls);
    void StopAndJoinGlide();
    void GlideWorker();
    void CursorGlideStep();
    void TurnWheel(float dy);
    WindowHandle TopLevelOf(WindowHandle window);

    IPointerDevice& m_pointer;
    IWindowSystem& m_windows;
    IMainWindow& m_mainWindow;
    IClock& m_clock;

    WindowHandle m_grabbedWindow = 0;
    // Buttons the device holds pressed, as ButtonBit bits; GUI thread only.
    uint8_t m_heldButtons = 0;
    // Shared with the glide worker, read fresh on every step.
    std::atomic<float> m_glideVelocityX{0.0f};
    std::atomic<float> m_glideVelocityY{0.0f};
    std::atomic<float> m_glideDecay{-1.0f};
    std::atomic<bool> m_glideStop{false};
    std::atomic<bool> m_glideScrolls{false};
    std::atomic<bool> m_bounceOffEdges{true};
    std::thread m_glideThread;
};
