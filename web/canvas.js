// What Emscripten's GLUT lacks or gets wrong in a browser, made up for before glutInit starts
// listening (mendGlutInput) and when the window's size is asked for (followCanvasSize).
mergeInto(LibraryManager.library, {
  mendGlutInput__deps: ['$GLUT', '$Browser'],
  mendGlutInput: function() {
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

    // It makes every touch a left-button event at the first finger that changed, so a second
    // finger's moves jump the turn about, and it cancels touches that can no longer be cancelled,
    // which browsers report on the console. Instead, fingers that start on the canvas hold the
    // mouse's buttons, as users of touch screens expect: one finger is the left button, dragged
    // with it; two are the right button, dragged up by as much as they spread and down by as much
    // as they pinch. Only the first two fingers down count. Whenever the fingers that count change,
    // the button they held is let go where it is and theirs is pressed where they are: nothing
    // jumps, and a lifted or cancelled finger hands the drag to the one left, from where it is.
    GLUT.touchHandler = function() {};
    var canvas = Module['canvas'];
    var fingers = []; // {id, x, y}, in the canvas's own pixels, in the order they came down
    var held = null;  // {button, x, y}: the button the fingers that count hold, and the pointer
    function find(id) {
      return fingers.filter(function(finger) { return finger.id == id; })[0];
    }
    function counting() {
      return fingers.slice(0, 2).map(function(finger) { return finger.id; }).join();
    }
    function spread() {
      return Math.hypot(fingers[1].x - fingers[0].x, fingers[1].y - fingers[0].y);
    }
    function mouse(state) {
      if (GLUT.mouseFunc) {
        {{{ makeDynCall('viiii', 'GLUT.mouseFunc') }}}(held.button, state, held.x, held.y);
      }
    }
    function press() {
      if (fingers.length == 1) {
        held = {button: 0, x: fingers[0].x, y: fingers[0].y};
      } else if (fingers.length > 1) {
        var y = Math.round((fingers[0].y + fingers[1].y) / 2);
        held = {button: 2, x: Math.round((fingers[0].x + fingers[1].x) / 2), y: y, fromY: y, from: spread()};
      }
      if (held) mouse(0 /* GLUT_DOWN */);
    }
    function release() {
      if (held) mouse(1 /* GLUT_UP */);
      held = null;
    }
    function follow() {
      var x = held.button == 0 ? fingers[0].x : held.x;
      var y = held.button == 0 ? fingers[0].y : Math.round(held.fromY - (spread() - held.from));
      if (x == held.x && y == held.y) return;
      held.x = x;
      held.y = y;
      if (GLUT.motionFunc) {
        {{{ makeDynCall('vii', 'GLUT.motionFunc') }}}(x, y);
      }
    }
    function onTouch(event) {
      var rect = canvas.getBoundingClientRect();
      var changed = Array.prototype.slice.call(event.changedTouches);
      // Where a touch is, in the canvas's own pixels.
      function place(finger, touch) {
        finger.x = (touch.clientX - rect.left) * canvas.width / rect.width;
        finger.y = (touch.clientY - rect.top) * canvas.height / rect.height;
        return finger;
      }
      // The fingers already down move to where they are now, and the pointer with them.
      changed.forEach(function(touch) {
        var finger = find(touch.identifier);
        if (finger) place(finger, touch);
      });
      if (held) follow();
      // Then fingers come down or go.
      var before = counting();
      changed.forEach(function(touch) {
        var finger = find(touch.identifier);
        if (event.type == 'touchstart' && !finger) {
          fingers.push(place({id: touch.identifier}, touch));
        } else if ((event.type == 'touchend' || event.type == 'touchcancel') && finger) {
          fingers.splice(fingers.indexOf(finger), 1);
        }
      });
      if (counting() != before) {
        release();
        press();
      }
      // No scrolling, zooming or mouse events of the browser's own making.
      if (event.cancelable) event.preventDefault();
    }
    ['touchstart', 'touchmove', 'touchend', 'touchcancel'].forEach(function(type) {
      canvas.addEventListener(type, onTouch, {passive: false});
    });
  },

  // The canvas is drawn at the size the page shows it, in the screen's own pixels: its backing
  // store is its shown size times devicePixelRatio, now and whenever either changes (a resized
  // window, a page zoom, another screen, a phone turned on its side). A change reaches the viewer
  // as a reshape, as a resized desktop window does, and is drawn anew.
  followCanvasSize__deps: ['$Browser', 'glutPostRedisplay'],
  followCanvasSize: function() {
    var canvas = Module['canvas'];
    function measure() {
      var rect = canvas.getBoundingClientRect();
      var ratio = window.devicePixelRatio || 1;
      var width = Math.round(rect.width * ratio), height = Math.round(rect.height * ratio);
      if (width == canvas.width && height == canvas.height) return;
      // GLUT hears of it and calls the reshape callback.
      Browser.setCanvasSize(width, height);
      _glutPostRedisplay();
    }
    measure();
    // The shown size changes with the layout, the ratio with the zoom or the screen.
    if (typeof ResizeObserver != 'undefined') new ResizeObserver(measure).observe(canvas);
    window.addEventListener('resize', measure);
    (function watchRatio() {
      matchMedia('(resolution: ' + (window.devicePixelRatio || 1) + 'dppx)').addEventListener('change', function() {
        measure();
        watchRatio();
      }, {once: true});
    })();
  },
});
