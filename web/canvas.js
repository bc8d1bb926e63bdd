// The canvas the viewer draws on: the size it is drawn at, and the mouse, the wheel and fingers on
// it. The page listens for them itself and hands them to the viewer's mouse and motion callbacks,
// which web/platform.cpp keeps (pointerButton, pointerMoved), as GLUT reports them on the desktop.
// Emscripten's GLUT is never given those callbacks: what it does with the mouse and fingers differs
// from one release to the next, and is wrong in some (a motion reported where the pointer was one
// event before, fingers made into mouse events of its own).
mergeInto(LibraryManager.library, {
  // Called before glutInit, so that the page hears of every touch before Emscripten's GLUT does.
  listenToPointer: function() {
    var canvas = Module['canvas'];
    function button(button, state, x, y) {
      // In whole pixels, as GLUT's are: a fraction is cut off.
      Module['_pointerButton'](button, state, x | 0, y | 0);
    }
    function moved(x, y) {
      Module['_pointerMoved'](x | 0, y | 0);
    }

    // The mouse, where it is in the canvas's own pixels (the canvas may be shown at another size than
    // it is drawn at): a button pressed on the canvas, each move while one is held, wherever the
    // pointer goes (a move that does not change where it is says nothing), and its release, wherever
    // it is let go. The left, middle and right buttons are GLUT's 0, 1 and 2.
    var held = 0, last = [NaN, NaN];
    function at(event) {
      var rect = canvas.getBoundingClientRect();
      return last = [(event.pageX - (scrollX + rect.left)) * (canvas.width / rect.width),
                     (event.pageY - (scrollY + rect.top)) * (canvas.height / rect.height)];
    }
    canvas.addEventListener('mousedown', function(event) {
      if (event.button > 2) return;
      held |= 1 << event.button;
      var where = at(event);
      button(event.button, 0 /* GLUT_DOWN */, where[0], where[1]);
      // Nothing is selected or dragged away.
      event.preventDefault();
    });
    window.addEventListener('mousemove', function(event) {
      var before = last, where = at(event);
      if (held && (where[0] != before[0] || where[1] != before[1])) moved(where[0], where[1]);
    }, true);
    window.addEventListener('mouseup', function(event) {
      if (!(held & (1 << event.button))) return;
      held &= ~(1 << event.button);
      var where = at(event);
      button(event.button, 1 /* GLUT_UP */, where[0], where[1]);
    }, true);
    // A turn of the wheel is a press and release of GLUT's button 3 (up) or 4 (down). The page has
    // nothing to scroll, so it lets the browser do as it will.
    canvas.addEventListener('wheel', function(event) {
      if (event.deltaY == 0) return;
      var wheel = event.deltaY < 0 ? 3 : 4, where = at(event);
      button(wheel, 0, where[0], where[1]);
      button(wheel, 1, where[0], where[1]);
    }, {passive: true});

    // Fingers that start on the canvas hold the mouse's buttons, as users of touch screens expect:
    // one finger is the left button, dragged with it; two are the right button, dragged up by as
    // much as they spread and down by as much as they pinch. Only the first two fingers down count.
    // Whenever the fingers that count change, the button they held is let go where it is and theirs
    // is pressed where they are: nothing jumps, and a lifted or cancelled finger hands the drag to
    // the one left, from where it is.
    var fingers = []; // {id, x, y}, in the canvas's own pixels, in the order they came down
    var holding = null; // {button, x, y}: the button the fingers that count hold, and the pointer
    function find(id) {
      return fingers.filter(function(finger) { return finger.id == id; })[0];
    }
    function counting() {
      return fingers.slice(0, 2).map(function(finger) { return finger.id; }).join();
    }
    function spread() {
      return Math.hypot(fingers[1].x - fingers[0].x, fingers[1].y - fingers[0].y);
    }
    function press() {
      if (fingers.length == 1) {
        holding = {button: 0, x: fingers[0].x, y: fingers[0].y};
      } else if (fingers.length > 1) {
        var y = Math.round((fingers[0].y + fingers[1].y) / 2);
        holding = {button: 2, x: Math.round((fingers[0].x + fingers[1].x) / 2), y: y, fromY: y, from: spread()};
      }
      if (holding) button(holding.button, 0, holding.x, holding.y);
    }
    function release() {
      if (holding) button(holding.button, 1, holding.x, holding.y);
      holding = null;
    }
    function follow() {
      var x = holding.button == 0 ? fingers[0].x : holding.x;
      var y = holding.button == 0 ? fingers[0].y : Math.round(holding.fromY - (spread() - holding.from));
      if (x == holding.x && y == holding.y) return;
      holding.x = x;
      holding.y = y;
      moved(x, y);
    }
    function onTouch(event) {
      var rect = canvas.getBoundingClientRect();
      var changed = Array.prototype.filter.call(event.changedTouches, function(touch) {
        return touch.target == canvas;
      });
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
      if (holding) follow();
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
      // Fingers are the page's alone: no listener after this one hears of them (Emscripten's GLUT
      // listens on a touch screen too), and the browser neither scrolls, zooms nor makes mouse
      // events of them.
      event.stopImmediatePropagation();
      if (event.cancelable) event.preventDefault();
    }
    ['touchstart', 'touchmove', 'touchend', 'touchcancel'].forEach(function(type) {
      window.addEventListener(type, onTouch, {capture: true, passive: false});
    });
  },

  // The canvas is drawn at the size the page shows it, in the screen's own pixels: its backing
  // store is its shown size times devicePixelRatio, now and whenever either changes (a resized
  // window, a page zoom, another screen, a phone turned on its side). A change reaches the viewer
  // as GLUT's own request for a window size does, as a reshape, followed by a redraw.
  followCanvasSize__deps: ['glutReshapeWindow'],
  followCanvasSize: function() {
    var canvas = Module['canvas'];
    function measure() {
      var rect = canvas.getBoundingClientRect();
      var ratio = window.devicePixelRatio || 1;
      var width = Math.round(rect.width * ratio), height = Math.round(rect.height * ratio);
      if (width != canvas.width || height != canvas.height) _glutReshapeWindow(width, height);
    }
    measure();
    // The shown size changes with the layout, the ratio with the zoom or the screen. (Some of
    // Emscripten's GLUTs set the canvas to its shown size on a resize of the window themselves,
    // before this listener hears of it.)
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
