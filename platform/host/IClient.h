#pragma once
#include "platform/host/IFrameTimeControl.h"

namespace quor::client {

// The host's client: the frame-time hand-off and the display of error, warning and
// deprecation texts.
class IClient {
public:
    virtual void SetFrameTimeControl(IFrameTimeControl* control) = 0;
    virtual void ShowErrorText(const char* text) = 0;
    virtual void ShowWarningText(const char* text) = 0;
    virtual void ShowDeprecatedText(const char* text) = 0;
    // The mark the module writes into its memory report.
    virtual int GetReportMark() = 0;
    // Tasks the host still runs for the module; a scene being destroyed waits for them.
    virtual int GetPendingTaskCount() = 0;
    // The client's frame rate (frames per second).
    virtual int GetFrameRate() = 0;
    // Drops the client's outstanding asynchronous requests made for an owner.
    virtual void CancelAsyncRequests(const void* owner) = 0;
    // The game's global time scale (1 is normal speed).
    virtual void SetTimeScale(float scale) = 0;
    // The window loading progress is posted to (a win32::MessageWindow; null: none).
    virtual void* GetMainWindow() = 0;
    // Whether the user has cancelled the load in progress.
    virtual bool IsLoadingCancelled() = 0;
    // The host's screen size in pixels; false when the host does not tell.
    virtual bool GetScreenSize(int* width, int* height) = 0;

protected:
    ~IClient() = default;
};

}  // namespace quor::client
