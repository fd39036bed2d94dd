// A real window of the screen's size showing the framebuffer, and the
// keyboard as the panel's key input. SDL pulls in dozens of display and
// sound libraries, so it is loaded only when a window is asked for: a
// headless run never pays for it.
#include <SDL.h>
#include <dlfcn.h>

#include <cstring>

#include "base/wide_string.h"

#include "host_internal.h"

namespace nimbora {

namespace {

// The SDL functions used here, resolved from the library when it is loaded.
#define NIMBORA_SDL_FUNCTIONS(X)                                                          \
  X(SDL_Init) X(SDL_GetError) X(SDL_Quit) X(SDL_CreateWindow) X(SDL_DestroyWindow)        \
  X(SDL_CreateRenderer) X(SDL_DestroyRenderer) X(SDL_CreateTexture) X(SDL_DestroyTexture) \
  X(SDL_UpdateTexture) X(SDL_RenderClear) X(SDL_RenderCopy) X(SDL_RenderPresent)          \
  X(SDL_WarpMouseInWindow) X(SDL_ShowCursor) X(SDL_WaitEventTimeout) X(SDL_PollEvent)

struct SdlFunctions {
#define NIMBORA_SDL_POINTER(name) decltype(&::name) name;
  NIMBORA_SDL_FUNCTIONS(NIMBORA_SDL_POINTER)
#undef NIMBORA_SDL_POINTER
};

bool Resolve(void* library, const char* name, void* pointer) {
  void* symbol = dlsym(library, name);
  memcpy(pointer, &symbol, sizeof symbol);
  return symbol != nullptr;
}

// Loaded once per process and kept: display libraries are not made to be
// unloaded. nullptr when the library or one of its functions is missing.
const SdlFunctions* Sdl() {
  static SdlFunctions functions;
  static bool loaded = [] {
    void* library = dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return false;
    bool all = true;
#define NIMBORA_SDL_RESOLVE(name) all = Resolve(library, #name, &functions.name) && all;
    NIMBORA_SDL_FUNCTIONS(NIMBORA_SDL_RESOLVE)
#undef NIMBORA_SDL_RESOLVE
    return all;
  }();
  return loaded ? &functions : nullptr;
}

struct KeyMapping {
  SDL_Keycode key;
  unsigned virtualKey;
};

constexpr KeyMapping kKeyMappings[] = {
    {SDLK_SPACE, 0x20},  {SDLK_RETURN, 0x0D}, {SDLK_ESCAPE, 0x1B}, {SDLK_BACKSPACE, 0x08},
    {SDLK_TAB, 0x09},    {SDLK_LCTRL, 0x11},  {SDLK_RCTRL, 0x11},  {SDLK_LSHIFT, 0x10},
    {SDLK_RSHIFT, 0x10}, {SDLK_LEFT, 0x25},   {SDLK_UP, 0x26},     {SDLK_RIGHT, 0x27},
    {SDLK_DOWN, 0x28},
};

unsigned VirtualKeyOf(SDL_Keycode key) {
  if (key >= SDLK_a && key <= SDLK_z) return static_cast<unsigned>('A' + (key - SDLK_a));
  if (key >= SDLK_0 && key <= SDLK_9) return static_cast<unsigned>('0' + (key - SDLK_0));
  for (const KeyMapping& mapping : kKeyMappings) {
    if (mapping.key == key) return mapping.virtualKey;
  }
  return 0;
}

void Handle(const SDL_Event& event) {
  if (event.type == SDL_QUIT) {
    RequestClose();
  } else if (event.type == SDL_KEYDOWN) {
    unsigned virtualKey = VirtualKeyOf(event.key.keysym.sym);
    if (virtualKey != 0) PushKeyDown(virtualKey, (event.key.keysym.mod & KMOD_CTRL) != 0);
  } else if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_EXPOSED) {
    PresentScreen();
  }
}

}  // namespace

bool OpenPresentation(std::string* error) {
  const SdlFunctions* sdl = Sdl();
  if (sdl == nullptr) {
    const char* reason = dlerror();
    *error = std::string("cannot open a window: ") + (reason == nullptr ? "no SDL" : reason);
    return false;
  }
  if (sdl->SDL_Init(SDL_INIT_VIDEO) != 0) {
    *error = std::string("cannot open a window: ") + sdl->SDL_GetError();
    return false;
  }
  hostSession->sdlStarted = true;
  return true;
}

void ShowPresentation(const char16_t* title) {
  HostSession* session = hostSession;
  if (!session->sdlStarted || session->sdlWindow != nullptr) return;
  std::string name = Utf8Of(title, WideLength(title));
  session->sdlWindow =
      Sdl()->SDL_CreateWindow(name.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                              kScreenWidth, kScreenHeight, SDL_WINDOW_SHOWN);
  if (session->sdlWindow == nullptr) return;
  session->renderer = Sdl()->SDL_CreateRenderer(session->sdlWindow, -1, 0);
  if (session->renderer != nullptr) {
    session->texture =
        Sdl()->SDL_CreateTexture(session->renderer, SDL_PIXELFORMAT_RGB888,
                                 SDL_TEXTUREACCESS_STREAMING, kScreenWidth, kScreenHeight);
  }
  PresentScreen();
}

void PresentScreen() {
  HostSession* session = hostSession;
  if (session->texture == nullptr) return;
  Sdl()->SDL_UpdateTexture(session->texture, nullptr, session->pixels.get(), kScreenWidth * 4);
  Sdl()->SDL_RenderClear(session->renderer);
  Sdl()->SDL_RenderCopy(session->renderer, session->texture, nullptr, nullptr);
  Sdl()->SDL_RenderPresent(session->renderer);
}

void MovePresentationPointer(int x, int y) {
  if (hostSession != nullptr && hostSession->sdlWindow != nullptr) {
    Sdl()->SDL_WarpMouseInWindow(hostSession->sdlWindow, x, y);
  }
}

void HidePresentationPointer() {
  if (hostSession != nullptr && hostSession->sdlStarted) Sdl()->SDL_ShowCursor(SDL_DISABLE);
}

void PumpPresentation(int waitMilliseconds) {
  if (!hostSession->sdlStarted) return;
  SDL_Event event;
  bool got = waitMilliseconds > 0 ? Sdl()->SDL_WaitEventTimeout(&event, waitMilliseconds) != 0
                                  : Sdl()->SDL_PollEvent(&event) != 0;
  while (got) {
    Handle(event);
    got = Sdl()->SDL_PollEvent(&event) != 0;
  }
}

void ClosePresentation() {
  HostSession* session = hostSession;
  if (session->texture != nullptr) Sdl()->SDL_DestroyTexture(session->texture);
  if (session->renderer != nullptr) Sdl()->SDL_DestroyRenderer(session->renderer);
  if (session->sdlWindow != nullptr) Sdl()->SDL_DestroyWindow(session->sdlWindow);
  if (session->sdlStarted) Sdl()->SDL_Quit();
  session->texture = nullptr;
  session->renderer = nullptr;
  session->sdlWindow = nullptr;
  session->sdlStarted = false;
}

}  // namespace nimbora
