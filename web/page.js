// The page around the viewer: the canvas it draws on, the terrain file beside the page, and a
// console as quiet as the desktop viewer's.
Module['canvas'] = document.getElementById('canvas');

// The desktop viewer reads sample.raw from its working directory; this one reads the sample.raw
// beside the page, asked afresh each time so that a swapped file shows on the next visit. Where
// there is none, nothing is written and the canvas stays black, as the desktop window does.
Module['preRun'] = Module['preRun'] || [];
Module['preRun'].push(function() {
  addRunDependency('sample.raw');
  fetch('sample.raw', {cache: 'no-cache'})
    .then(function(response) { return response.ok ? response.arrayBuffer() : null; })
    .then(function(bytes) { if (bytes) FS.writeFile('sample.raw', new Uint8Array(bytes)); })
    .catch(function() {})
    .finally(function() { removeRunDependency('sample.raw'); });
});

// The GL emulation announces itself on the console at start-up; anything else still shows.
Module['printErr'] = function(text) {
  if (!text.startsWith('WARNING: using emscripten GL')) console.error(text);
};

// A right-click turns the camera's distance, not a menu open.
document.addEventListener('contextmenu', function(event) { event.preventDefault(); });
