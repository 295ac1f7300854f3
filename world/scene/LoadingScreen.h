#pragma once
#include <cstdint>

namespace quor::world {

class SceneBase;

// The process-wide loading screen: a background picture, a word picture wiping in at 200
// pixels a second and a progress bar, drawn through the device by a thread of its own at most
// every 40 ms while a scene loads. One exists at a time. The thread draws for the scene that was
// current when the screen began; ending the screen, clearing or destroying that scene, and the
// world's shutdown end the thread and wait for it.
namespace LoadingScreen {

// The picture files under the current directory, in drawing-slot order.
enum Picture : int { kBackground = 0, kWord = 1, kBarFill = 2, kBarFrame = 3, kBarFront = 4, kPictureCount = 5 };
const char* PictureFile(Picture picture);

void Begin(SceneBase& scene, bool showWord);
void AddProgress(int amount, int status);
// The last frame with the progress grown by 200, then off; waits for the thread.
void End(SceneBase& scene);
bool IsOn();
// Ends the thread and waits for it when it draws for this scene (null: whatever scene).
void StopFor(SceneBase* scene);
// Gives back the pictures; the next draw loads them again.
void ReleasePictures();

// What tests watch.
int Progress();
int Status();
bool IsThreadRunning();
bool DeviceLostSeen();
float WipePosition();
float WipeAccumulator();
// Puts the process-wide state back to how the process starts (tests share one process).
void ResetProcessState();

}  // namespace LoadingScreen

}  // namespace quor::world
