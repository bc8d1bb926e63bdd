// Lets the page open without a network once it has been visited. The page's own parts are kept in
// a cache named for the build that made them (web/service_worker.cmake writes the name in), so that
// a later build, whose worker is another, takes their place as soon as the browser finds it, on the
// next visit, and the old build's cache goes. The terrain is asked of the network first, as the page
// always asks for it, and kept, as far as the page reads it, for when the network fails.
var CACHE = 'mirovale-@BUILD@';
var PARTS = ['index.html', 'index.js', 'index.wasm', 'manifest.webmanifest', 'icon-192.png', 'icon-512.png'];
var TERRAIN = 'sample.raw';
var TERRAIN_BYTES = 257 * 257;

// The terrain as the network has it now, its first TERRAIN_BYTES (a file of any length, or one that
// never ends, is read that far and let go), and kept; where the network says there is none, the
// one kept goes too. It fails where the network does.
function terrainFromNetwork(request, cache) {
  return fetch(request).then(function(response) {
    if (!response.ok) return cache.delete(TERRAIN).then(function() { return response; });
    var bytes = new Uint8Array(TERRAIN_BYTES), length = 0, reader = response.body.getReader();
    return (function read() {
      return reader.read().then(function(chunk) {
        if (!chunk.done) {
          var part = chunk.value.subarray(0, TERRAIN_BYTES - length);
          bytes.set(part, length);
          length += part.length;
          if (length < TERRAIN_BYTES) return read();
          reader.cancel().catch(function() {});
        }
        var kept = new Response(bytes.slice(0, length), {headers: {'Content-Type': 'application/octet-stream'}});
        return cache.put(TERRAIN, kept.clone()).then(function() { return kept; });
      });
    })();
  });
}

self.addEventListener('install', function(event) {
  event.waitUntil(caches.open(CACHE).then(function(cache) {
    var fresh = {cache: 'no-cache'};
    return Promise.all([
      cache.addAll(PARTS.map(function(part) { return new Request(part, fresh); })),
      terrainFromNetwork(new Request(TERRAIN, fresh), cache),
    ]);
  }).then(function() { return self.skipWaiting(); }));
});

// The new build takes over the open page (which goes on as it is) and every later visit at once,
// and the caches of the builds before it go.
self.addEventListener('activate', function(event) {
  event.waitUntil(caches.keys().then(function(names) {
    return Promise.all(names.filter(function(name) {
      return name.startsWith('mirovale-') && name != CACHE;
    }).map(function(name) { return caches.delete(name); }));
  }).then(function() { return self.clients.claim(); }));
});

self.addEventListener('fetch', function(event) {
  var request = event.request, scope = self.registration.scope;
  if (request.method != 'GET' || !request.url.startsWith(scope)) return;
  var name = new URL(request.url).pathname.slice(new URL(scope).pathname.length);
  if (name == TERRAIN) {
    event.respondWith(caches.open(CACHE).then(function(cache) {
      return terrainFromNetwork(request, cache).catch(function() {
        return cache.match(TERRAIN).then(function(kept) {
          return kept || new Response(null, {status: 504, statusText: 'No network, and no terrain kept'});
        });
      });
    }));
  } else if (request.mode == 'navigate' ? name == '' || name == 'index.html' : PARTS.indexOf(name) >= 0) {
    // The page itself (at its folder's address too, as it is started from the home screen), and
    // each of its parts, as this build made them.
    var part = request.mode == 'navigate' ? 'index.html' : name;
    event.respondWith(caches.open(CACHE).then(function(cache) { return cache.match(part); }).then(function(kept) {
      return kept || fetch(request);
    }));
  }
});
