// Framebuffer objects, from OpenGL's core where it is 3.0 or later, else from the extension that
// came before; GLUT finds their entry points.
#include "render/offscreen.h"

#include <GL/freeglut.h>
// After GLUT's header, which sets up what it needs on this platform.
#include <GL/glext.h>

#include <cstdlib>
#include <cstring>

namespace {

struct TFramebufferCalls {
  PFNGLGENFRAMEBUFFERSPROC genFramebuffers;
  PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers;
  PFNGLBINDFRAMEBUFFERPROC bindFramebuffer;
  PFNGLGENRENDERBUFFERSPROC genRenderbuffers;
  PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers;
  PFNGLBINDRENDERBUFFERPROC bindRenderbuffer;
  PFNGLRENDERBUFFERSTORAGEPROC renderbufferStorage;
  PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer;
  PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus;
};

bool offers(const char* extension) {
  const char* all = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  size_t length = std::strlen(extension);
  for (const char* at = all; at != nullptr && (at = std::strstr(at, extension)) != nullptr; at += length)
    if ((at == all || at[-1] == ' ') && (at[length] == ' ' || at[length] == '\0')) return true;
  return false;
}

template <typename T>
bool find(T* call, const char* name, const char* suffix) {
  char full[64];
  std::strcpy(full, name);
  std::strcat(full, suffix);
  *call = reinterpret_cast<T>(glutGetProcAddress(full));
  return *call != nullptr;
}

// The calls, looked up once; null members where there are none. The extension's calls take the
// same arguments as the core's.
const TFramebufferCalls* framebufferCalls() {
  static TFramebufferCalls calls;
  static bool looked = false, found = false;
  if (looked) return found ? &calls : nullptr;
  looked = true;
  const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  const char* suffix = version != nullptr && std::atoi(version) >= 3 ? ""
                       : offers("GL_ARB_framebuffer_object")         ? ""
                       : offers("GL_EXT_framebuffer_object")         ? "EXT"
                                                                     : nullptr;
  found = suffix != nullptr && find(&calls.genFramebuffers, "glGenFramebuffers", suffix) &&
          find(&calls.deleteFramebuffers, "glDeleteFramebuffers", suffix) &&
          find(&calls.bindFramebuffer, "glBindFramebuffer", suffix) &&
          find(&calls.genRenderbuffers, "glGenRenderbuffers", suffix) &&
          find(&calls.deleteRenderbuffers, "glDeleteRenderbuffers", suffix) &&
          find(&calls.bindRenderbuffer, "glBindRenderbuffer", suffix) &&
          find(&calls.renderbufferStorage, "glRenderbufferStorage", suffix) &&
          find(&calls.framebufferRenderbuffer, "glFramebufferRenderbuffer", suffix) &&
          find(&calls.checkFramebufferStatus, "glCheckFramebufferStatus", suffix);
  return found ? &calls : nullptr;
}

}  // namespace

bool beginOffscreen(int width, int height, TOffscreen* offscreen) {
  *offscreen = TOffscreen{0, 0};
  const TFramebufferCalls* gl = framebufferCalls();
  if (gl == nullptr || width <= 0 || height <= 0) return false;
  gl->genFramebuffers(1, &offscreen->framebuffer);
  gl->bindFramebuffer(GL_FRAMEBUFFER, offscreen->framebuffer);
  gl->genRenderbuffers(1, &offscreen->colour);
  gl->bindRenderbuffer(GL_RENDERBUFFER, offscreen->colour);
  gl->renderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
  gl->framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, offscreen->colour);
  gl->bindRenderbuffer(GL_RENDERBUFFER, 0);
  if (gl->checkFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE) return true;
  endOffscreen(offscreen);
  return false;
}

void endOffscreen(TOffscreen* offscreen) {
  const TFramebufferCalls* gl = framebufferCalls();
  if (offscreen->framebuffer == 0) return;  // none made: only where the calls were found
  gl->bindFramebuffer(GL_FRAMEBUFFER, 0);
  gl->deleteRenderbuffers(1, &offscreen->colour);
  gl->deleteFramebuffers(1, &offscreen->framebuffer);
  *offscreen = TOffscreen{0, 0};
}
