#include "gl_fake.h"

#include <GL/glut.h>

#include <initializer_list>

std::vector<GlCall>& glLog() {
    static std::vector<GlCall> log;
    return log;
}

void resetGlLog() {
    glLog().clear();
    glutCallbacks() = GlutCallbacks();
}

GlutCallbacks& glutCallbacks() {
    static GlutCallbacks callbacks;
    return callbacks;
}

std::vector<GlCall> callsNamed(const std::string& name) {
    std::vector<GlCall> found;
    for (const GlCall& call : glLog()) {
        if (call.name == name) {
            found.push_back(call);
        }
    }
    return found;
}

std::vector<std::string> callNames(bool withVertices) {
    std::vector<std::string> names;
    for (const GlCall& call : glLog()) {
        if (withVertices || (call.name != "glNormal3d" && call.name != "glVertex3d")) {
            names.push_back(call.name);
        }
    }
    return names;
}

namespace {

void record(const char* name, std::initializer_list<double> args = {}, const char* text = "") {
    glLog().push_back(GlCall{name, args, text});
}

// Records the leading arguments, then count floats from values.
void recordArray(const char* name, std::initializer_list<double> args, const GLfloat* values, int count) {
    GlCall call{name, args, ""};
    call.args.insert(call.args.end(), values, values + count);
    glLog().push_back(call);
}

} // namespace

extern "C" {

void glMatrixMode(GLenum mode) { record("glMatrixMode", {double(mode)}); }
void glLoadIdentity() { record("glLoadIdentity"); }
void glPushMatrix() { record("glPushMatrix"); }
void glPopMatrix() { record("glPopMatrix"); }
void glTranslated(GLdouble x, GLdouble y, GLdouble z) { record("glTranslated", {x, y, z}); }
void glMultMatrixf(const GLfloat* m) { recordArray("glMultMatrixf", {}, m, 16); }
void glFrustum(GLdouble l, GLdouble r, GLdouble b, GLdouble t, GLdouble n, GLdouble f) {
    record("glFrustum", {l, r, b, t, n, f});
}
void glViewport(GLint x, GLint y, GLsizei w, GLsizei h) {
    record("glViewport", {double(x), double(y), double(w), double(h)});
}
void glBegin(GLenum mode) { record("glBegin", {double(mode)}); }
void glEnd() { record("glEnd"); }
void glNormal3d(GLdouble x, GLdouble y, GLdouble z) { record("glNormal3d", {x, y, z}); }
void glVertex3d(GLdouble x, GLdouble y, GLdouble z) { record("glVertex3d", {x, y, z}); }
void glEnable(GLenum cap) { record("glEnable", {double(cap)}); }
void glDisable(GLenum cap) { record("glDisable", {double(cap)}); }
void glPolygonMode(GLenum face, GLenum mode) { record("glPolygonMode", {double(face), double(mode)}); }
void glShadeModel(GLenum mode) { record("glShadeModel", {double(mode)}); }
void glLightModeli(GLenum pname, GLint param) { record("glLightModeli", {double(pname), double(param)}); }
void glClear(GLbitfield mask) { record("glClear", {double(mask)}); }
void glMaterialfv(GLenum face, GLenum pname, const GLfloat* params) {
    recordArray("glMaterialfv", {double(face), double(pname)}, params, 4);
}
void glMaterialf(GLenum face, GLenum pname, GLfloat param) {
    record("glMaterialf", {double(face), double(pname), param});
}

void glutInit(int* argc, char** argv) { record("glutInit", {double(*argc)}, *argc > 0 ? argv[0] : ""); }
void glutInitWindowSize(int w, int h) { record("glutInitWindowSize", {double(w), double(h)}); }
void glutInitWindowPosition(int x, int y) { record("glutInitWindowPosition", {double(x), double(y)}); }
void glutInitDisplayMode(unsigned int mode) { record("glutInitDisplayMode", {double(mode)}); }
int glutCreateWindow(const char* title) {
    record("glutCreateWindow", {}, title);
    return 1;
}
void glutReshapeFunc(void (*f)(int, int)) {
    record("glutReshapeFunc");
    glutCallbacks().reshape = f;
}
void glutDisplayFunc(void (*f)()) {
    record("glutDisplayFunc");
    glutCallbacks().display = f;
}
void glutMouseFunc(void (*f)(int, int, int, int)) {
    record("glutMouseFunc");
    glutCallbacks().mouse = f;
}
void glutMotionFunc(void (*f)(int, int)) {
    record("glutMotionFunc");
    glutCallbacks().motion = f;
}
void glutKeyboardFunc(void (*f)(unsigned char, int, int)) {
    record("glutKeyboardFunc");
    glutCallbacks().keyboard = f;
}
void glutSpecialFunc(void (*f)(int, int, int)) {
    record("glutSpecialFunc");
    glutCallbacks().special = f;
}
void glutMainLoop() { record("glutMainLoop"); }
void glutPostRedisplay() { record("glutPostRedisplay"); }
void glutSwapBuffers() { record("glutSwapBuffers"); }

} // extern "C"
