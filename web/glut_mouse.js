// Emscripten's GLUT gets two things about the mouse wrong, both mended here before glutInit
// starts listening for it.
mergeInto(LibraryManager.library, {
  mendGlutMouse__deps: ['$GLUT', '$Browser'],
  mendGlutMouse: function() {
    // It calls the motion callback with the position of the mouse event before this one, so a
    // drag of one move does nothing and longer drags stop one move short. This reports each move
    // where it happened.
    GLUT.onMousemove = function(event) {
      var lastX = Browser.mouseX;
      var lastY = Browser.mouseY;
      Browser.calculateMouseEvent(event);
      if (Browser.mouseX == lastX && Browser.mouseY == lastY) return;
      if (GLUT.buttons == 0 && event.target == Module['canvas'] && GLUT.passiveMotionFunc) {
        event.preventDefault();
        GLUT.saveModifiers(event);
        {{{ makeDynCall('vii', 'GLUT.passiveMotionFunc') }}}(Browser.mouseX, Browser.mouseY);
      } else if (GLUT.buttons != 0 && GLUT.motionFunc) {
        event.preventDefault();
        GLUT.saveModifiers(event);
        {{{ makeDynCall('vii', 'GLUT.motionFunc') }}}(Browser.mouseX, Browser.mouseY);
      }
    };
    // It listens for the wheel on the window, where browsers let no listener cancel scrolling,
    // and then tries to, which they report on the console. The page has nothing to scroll.
    var onMouseWheel = GLUT.onMouseWheel;
    GLUT.onMouseWheel = function(event) {
      event.preventDefault = function() {};
      onMouseWheel(event);
    };
  },
});
