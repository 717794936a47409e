// OpenGL for enhanced metafiles that carry a pixel format: opengl32.dll and
// glu32.dll are loaded at run time, GetEnhMetaFilePixelFormat is looked up in
// gdi32.dll, so the program runs (and plays such metafiles without a
// context) where any of them is missing.
#include "metafile/opengl.h"

namespace {
typedef HGLRC(WINAPI* CreateContextCall)(HDC);
typedef BOOL(WINAPI* MakeCurrentCall)(HDC, HGLRC);
typedef BOOL(WINAPI* DeleteContextCall)(HGLRC);
typedef UINT(WINAPI* PixelFormatCall)(HENHMETAFILE, UINT, PIXELFORMATDESCRIPTOR*);

// Alive from the preparation to the release of one playback.
struct OpenGLState {
    HMODULE opengl, glu;
    HGLRC context;
};
OpenGLState g_gl = {};

template <typename Call> Call Lookup(HMODULE module, const char* name) {
    return reinterpret_cast<Call>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
} // namespace

bool PrepareMetafileOpenGL(HDC dc, HENHMETAFILE metafile, bool* pixelFormatSet) {
    *pixelFormatSet = false;
    SetLastError(0);
    g_gl.opengl = LoadLibraryA("opengl32.dll");
    if (!g_gl.opengl) return false;
    g_gl.glu = LoadLibraryA("glu32.dll");
    if (!g_gl.glu) return false;
    CreateContextCall createContext = Lookup<CreateContextCall>(g_gl.opengl, "wglCreateContext");
    MakeCurrentCall makeCurrent = Lookup<MakeCurrentCall>(g_gl.opengl, "wglMakeCurrent");
    if (!createContext || !makeCurrent) return false;
    HMODULE gdi = GetModuleHandleA("gdi32.dll");
    if (!gdi) return false;
    PixelFormatCall pixelFormat = Lookup<PixelFormatCall>(gdi, "GetEnhMetaFilePixelFormat");
    if (!pixelFormat) return false;
    PIXELFORMATDESCRIPTOR descriptor = {};
    UINT got = pixelFormat(metafile, 40, &descriptor);
    if (got == 0 || got == GDI_ERROR) return false;
    int format = ChoosePixelFormat(dc, &descriptor);
    if (format == 0) return false;
    if (!SetPixelFormat(dc, format, &descriptor)) return false;
    *pixelFormatSet = true;
    g_gl.context = createContext(dc);
    if (!g_gl.context) return false;
    return makeCurrent(dc, g_gl.context) != 0;
}

void FinishMetafileOpenGL(HDC dc, bool pixelFormatSet) {
    if (pixelFormatSet) SwapBuffers(dc);
    if (!g_gl.opengl) return;
    DeleteContextCall deleteContext = Lookup<DeleteContextCall>(g_gl.opengl, "wglDeleteContext");
    MakeCurrentCall makeCurrent = Lookup<MakeCurrentCall>(g_gl.opengl, "wglMakeCurrent");
    if (!deleteContext || !makeCurrent) return;
    if (g_gl.context) {
        makeCurrent(nullptr, nullptr);
        deleteContext(g_gl.context);
        g_gl.context = nullptr;
    }
    FreeLibrary(g_gl.opengl);
    g_gl.opengl = nullptr;
    if (g_gl.glu) FreeLibrary(g_gl.glu);
    g_gl.glu = nullptr;
}
