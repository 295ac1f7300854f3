#pragma once
#include <string>
#include <vector>

#include "platform/wgl/WinTypes.h"

class KytLink;
class KytShape;
class KytModel;

// Environment of the kernel: what the host application has set up around the part tree.
// Tests set these directly and call Reset() to start clean.
class KytEnv {
public:
    static quor::wgl::HWND hMainWnd;
    static KytShape* pTopShape;
    static KytModel* pLoaded;  // model searched by KYT_GetLoadedLink
    static int nUpAxis;        // 1 Y, 2 Z, else X
    static double dUpOffset;
    static int nManipMode;     // 1 rotation
    static int nSilhouetteCalls;

    struct Message {
        int number;
        std::string text;
        int flags;
    };
    static std::vector<Message>& Messages();

    static void MakeSilhouette(quor::wgl::HWND wnd);
    static void Reset();
};

quor::wgl::HWND KYT_GetMainWnd();
KytShape* KYT_GetTopShape();
KytLink* KYT_GetLoadedLink(unsigned id);
int KYT_GetUpAxis();
double KYT_GetUpOffset();
int KYT_GetManipMode();
// The kernel's numbered message output; recorded in KytEnv::Messages().
void KYT_OutPutMessage(int number, const char* text, int flags);
