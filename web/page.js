// The page around the viewer: the canvas it draws on, the program and the terrain file beside the
// page, which index.html has already asked for, and a console as quiet as the desktop viewer's.
Module['canvas'] = document.getElementById('canvas');
Module['preRun'] = Module['preRun'] || [];
Module['postRun'] = Module['postRun'] || [];

// Without WebGL (switched off, or a device that lacks it) the viewer can draw nothing, and would
// fail at its first GL call: the page says so instead, and the program does not start. WebGL is
// asked of a canvas of the page's own, whose context goes back at once, so that the viewer's canvas
// gets its context with the viewer's own settings.
(function() {
  var probe = document.createElement('canvas');
  var gl = probe.getContext('webgl') || probe.getContext('experimental-webgl');
  if (gl) {
    var lose = gl.getExtension('WEBGL_lose_context');
    if (lose) lose.loseContext();
    return;
  }
  Module['noInitialRun'] = true;
  document.getElementById('no-webgl').hidden = false;
})();

// Phones take WebGL from a page in the background or short of memory, and may give it back later.
// The page asks for it back, and shows black meanwhile: the canvas is hidden, as a browser shows a
// canvas without its context as a broken picture whenever it paints the page again. Once it is
// back, the program starts again, as the page loads again, and takes over the view the user had:
// Emscripten's GL emulation keeps its state in the context it began on, and cannot take up another.
var VIEW_KEY = 'mirovale-view';
Module['canvas'].addEventListener('webglcontextlost', function(event) {
  event.preventDefault();
  Module['canvas'].style.visibility = 'hidden';
});
Module['canvas'].addEventListener('webglcontextrestored', function() {
  try {
    sessionStorage.setItem(VIEW_KEY, JSON.stringify([0, 1, 2, 3, 4].map(function(k) { return Module['_viewState'](k); })));
  } catch (e) {}
  location.reload();
});
Module['postRun'].push(function() {
  var view = null;
  try {
    view = JSON.parse(sessionStorage.getItem(VIEW_KEY));
    sessionStorage.removeItem(VIEW_KEY);
  } catch (e) {}
  if (Array.isArray(view) && view.length == 5) Module['_setViewState'].apply(null, view);
});

// Once it has been visited, the page opens without a network too (service-worker.js keeps its
// parts), where the browser runs service workers: for pages served over https, or from this very
// machine. The worker is asked for once the first frame is drawn, so that the first visit is not
// held up by it.
Module['postRun'].push(function() {
  if (!('serviceWorker' in navigator)) return;
  requestAnimationFrame(function() {
    navigator.serviceWorker.register('service-worker.js').catch(function() {});
  });
});

// The program's WebAssembly comes from the download the page started, compiled as it arrives
// where the server names it as WebAssembly, and once it is all there elsewhere.
Module['instantiateWasm'] = function(imports, receiveInstance) {
  Module['wasm']
    .then(function(response) {
      return WebAssembly.instantiateStreaming(response.clone(), imports).catch(function() {
        return response.arrayBuffer().then(function(bytes) { return WebAssembly.instantiate(bytes, imports); });
      });
    })
    .then(function(result) { receiveInstance(result['instance'], result['module']); });
  return {};
};

// The desktop viewer reads the first 257 x 257 bytes of the sample.raw in its working directory;
// this one reads as many of the sample.raw beside the page, and lets the rest of it go: a file of
// any length, or one that never ends, shows as soon as those bytes have come, and no more of it is
// held. Where there is none, nothing is written and the canvas stays black, as the desktop window
// does; a shorter one is written as it is, which the viewer refuses as it refuses a short file.
var TERRAIN_BYTES = 257 * 257;
Module['preRun'].push(function() {
  addRunDependency('sample.raw');
  var bytes = new Uint8Array(TERRAIN_BYTES);
  var length = 0;
  Module['terrain']
    .then(function(response) {
      if (!response || !response.ok) return false;
      var reader = response.body.getReader();
      return (function read() {
        return reader.read().then(function(chunk) {
          if (chunk.done) return true;
          var part = chunk.value.subarray(0, TERRAIN_BYTES - length);
          bytes.set(part, length);
          length += part.length;
          if (length < TERRAIN_BYTES) return read();
          reader.cancel().catch(function() {});
          return true;
        });
      })();
    })
    .then(function(found) { if (found) FS.writeFile('sample.raw', bytes.subarray(0, length)); })
    .catch(function() {})
    .finally(function() { removeRunDependency('sample.raw'); });
});

// The GL emulation announces itself on the console at start-up, as an error or a warning, and some
// Emscriptens do so before they read Module['printErr']. So the page's console itself leaves that
// announcement out, and shows anything else: this runs before the program takes up the console.
['error', 'warn'].forEach(function(name) {
  var write = console[name];
  console[name] = function(text) {
    if (!String(text).startsWith('WARNING: using emscripten GL ')) write.apply(console, arguments);
  };
});

// A right-click, or a long press, turns or zooms, not a menu open.
document.addEventListener('contextmenu', function(event) { event.preventDefault(); });
