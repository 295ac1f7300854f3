#include "platform/kernel/KytEnv.h"

#include "platform/kernel/KytModel.h"

quor::wgl::HWND KytEnv::hMainWnd = nullptr;
KytShape* KytEnv::pTopShape = nullptr;
KytModel* KytEnv::pLoaded = nullptr;
int KytEnv::nUpAxis = 1;
double KytEnv::dUpOffset = 0.0;
int KytEnv::nManipMode = 0;
int KytEnv::nSilhouetteCalls = 0;

std::vector<KytEnv::Message>& KytEnv::Messages()
{
    static std::vector<Message> m;
    return m;
}

void KytEnv::MakeSilhouette(quor::wgl::HWND) { ++nSilhouetteCalls; }

void KytEnv::Reset()
{
    hMainWnd = nullptr;
    pTopShape = nullptr;
    pLoaded = nullptr;
    nUpAxis = 1;
    dUpOffset = 0.0;
    nManipMode = 0;
    nSilhouetteCalls = 0;
    Messages().clear();
}

quor::wgl::HWND KYT_GetMainWnd() { return KytEnv::hMainWnd; }
KytShape* KYT_GetTopShape() { return KytEnv::pTopShape; }
KytLink* KYT_GetLoadedLink(unsigned id) { return KytEnv::pLoaded ? KytEnv::pLoaded->FindLink(id) : nullptr; }
int KYT_GetUpAxis() { return KytEnv::nUpAxis; }
double KYT_GetUpOffset() { return KytEnv::dUpOffset; }
int KYT_GetManipMode() { return KytEnv::nManipMode; }

void KYT_OutPutMessage(int number, const char* text, int flags)
{
    KytEnv::Messages().push_back({number, text ? text : "", flags});
}
