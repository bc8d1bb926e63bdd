#pragma once

// Turns pointer drags across a viewport into an accumulated rotation of the scene.
class Trackball {
public:
    Trackball() = default;
    Trackball(int width, int height, int left, int top);
    virtual ~Trackball() = default;

    // Replaces the viewport (size first, origin second); the rotation stays.
    void setViewport(int width, int height, int left, int top);
    // Turns the scene by the drag from pixel (x1, y1) to pixel (x2, y2), about an axis fixed
    // to the viewer. An empty viewport leaves the rotation as it is.
    void drag(int x1, int y1, int x2, int y2);

    void getRotation(float out[4]) const;
    void setRotation(const float in[4]);
    // The rotation as 16 floats for glMultMatrixf.
    void getMatrix(float out[16]) const;

    int left = 0;
    int top = 0;
    int width = 100;
    int height = 100;
    float rotation[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float radius = 0.8f;
};
