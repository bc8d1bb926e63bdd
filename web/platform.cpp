// What the browser build needs beyond the shared code, which keeps the GL and GLUT calls it makes
// on the desktop. Emscripten emulates the fixed-function pipeline on WebGL, but it has no
// double-precision entry points, and WebGL draws no polygon outlines; its GLUT sizes the canvas in
// CSS pixels, and what it does with the mouse and fingers changes from release to release, so the
// page sizes the canvas and hears the pointer itself (canvas.js), and the viewer's mouse and motion
// callbacks are kept here.
#include "app/camera.h"
#include "trackball/trackball.h"

#include <GL/glut.h>
#include <emscripten.h>

// Emscripten's own functions, which the link (cmake/web.cmake) lets this file reach through these
// names while the shared code's calls come here; and the page's own, in canvas.js.
extern "C" {
void __real_glBegin(GLenum mode);
void __real_glEnd();
void __real_glutInit(int* argc, char** argv);
void __real_glutReshapeFunc(void (*func)(int, int));
void listenToPointer();
void followCanvasSize();
}

namespace {

// How each side of a polygon is drawn, as glPolygonMode last set it.
GLenum s_frontMode = GL_FILL;
GLenum s_backMode = GL_FILL;

// The triangle being outlined: its corners so far, each with the normal current when it came.
struct Corner {
    GLfloat normal[3];
    GLfloat vertex[3];
};
bool s_outlining = false;
Corner s_corners[3];
int s_cornerCount = 0;
GLfloat s_normal[3] = {0.0f, 0.0f, 1.0f};

// The viewer's callbacks that the page calls itself.
void (*s_reshape)(int, int) = nullptr;
void (*s_mouse)(int, int, int, int) = nullptr;
void (*s_motion)(int, int) = nullptr;

// Whoever changes the canvas's size (the page, or Emscripten's GLUT itself on a resize of the
// browser's window) clears it: as GLUT promises, a reshape is followed by a redraw.
void reshapeAndRedraw(int width, int height) {
    s_reshape(width, height);
    glutPostRedisplay();
}

void emitCorner(const Corner& corner) {
    glNormal3fv(corner.normal);
    glVertex3fv(corner.vertex);
}

} // namespace

// WebGL fills every triangle. While both sides are to be drawn as lines, a batch of triangles is
// drawn as the lines of their edges instead, each triangle's in the order GL walks them: first to
// second corner, second to third, third back to first.
void glPolygonMode(GLenum face, GLenum mode) {
    if (face == GL_FRONT || face == GL_FRONT_AND_BACK) {
        s_frontMode = mode;
    }
    if (face == GL_BACK || face == GL_FRONT_AND_BACK) {
        s_backMode = mode;
    }
}

extern "C" void __wrap_glBegin(GLenum mode) {
    s_outlining = mode == GL_TRIANGLES && s_frontMode == GL_LINE && s_backMode == GL_LINE;
    s_cornerCount = 0;
    __real_glBegin(s_outlining ? GL_LINES : mode);
}

extern "C" void __wrap_glEnd() {
    // As in GL, the corners of an unfinished triangle draw nothing.
    s_outlining = false;
    __real_glEnd();
}

// The emulation streams a normal with the vertex that follows it, so the current normal is kept
// here and goes out with every vertex.
void glNormal3d(GLdouble x, GLdouble y, GLdouble z) {
    s_normal[0] = static_cast<GLfloat>(x);
    s_normal[1] = static_cast<GLfloat>(y);
    s_normal[2] = static_cast<GLfloat>(z);
}

void glVertex3d(GLdouble x, GLdouble y, GLdouble z) {
    const Corner corner = {{s_normal[0], s_normal[1], s_normal[2]},
                           {static_cast<GLfloat>(x), static_cast<GLfloat>(y), static_cast<GLfloat>(z)}};
    if (!s_outlining) {
        emitCorner(corner);
        return;
    }
    s_corners[s_cornerCount++] = corner;
    if (s_cornerCount == 3) {
        for (int k = 0; k < 3; ++k) {
            emitCorner(s_corners[k]);
            emitCorner(s_corners[(k + 1) % 3]);
        }
        s_cornerCount = 0;
    }
}

void glMaterialf(GLenum face, GLenum name, GLfloat value) { glMaterialfv(face, name, &value); }

void glLightModeli(GLenum name, GLint value) { glLightModelf(name, static_cast<GLfloat>(value)); }

// WebGL always interpolates across a face; the viewer asks for nothing else.
void glShadeModel(GLenum) {}

// GLUT's window is the page's canvas, which the page lays out: it is drawn at the size the page
// shows it, in the screen's own pixels, whatever size the viewer asks for.
extern "C" void __wrap_glutInitWindowSize(int, int) { followCanvasSize(); }

extern "C" void __wrap_glutInit(int* argc, char** argv) {
    listenToPointer();
    __real_glutInit(argc, argv);
}

extern "C" void __wrap_glutReshapeFunc(void (*func)(int, int)) {
    s_reshape = func;
    __real_glutReshapeFunc(func ? reshapeAndRedraw : nullptr);
}

// The mouse and fingers come from the page's own listeners (canvas.js), in the canvas's pixels.
void glutMouseFunc(void (*func)(int, int, int, int)) { s_mouse = func; }

void glutMotionFunc(void (*func)(int, int)) { s_motion = func; }

extern "C" EMSCRIPTEN_KEEPALIVE void pointerButton(int button, int state, int x, int y) {
    if (s_mouse) {
        s_mouse(button, state, x, y);
    }
}

extern "C" EMSCRIPTEN_KEEPALIVE void pointerMoved(int x, int y) {
    if (s_motion) {
        s_motion(x, y);
    }
}

// The view, which the page hands over to the program that starts again once a lost WebGL context is
// back (web/page.js): the camera's distance, then the trackball's rotation, x, y, z and w.
extern "C" EMSCRIPTEN_KEEPALIVE double viewState(int part) {
    float rotation[4];
    g_trackball->getRotation(rotation);
    return part == 0 ? g_distance : rotation[part - 1];
}

extern "C" EMSCRIPTEN_KEEPALIVE void setViewState(double distance, double x, double y, double z, double w) {
    g_distance = distance;
    const float rotation[4] = {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z),
                               static_cast<float>(w)};
    g_trackball->setRotation(rotation);
    g_viewChanged = true;
    glutPostRedisplay();
}
