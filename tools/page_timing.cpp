// Times the web page's first frame in Chromium: on the loopback as it is, and through Chromium's
// emulation of a slow network (100 ms latency, 10 Mbit/s each way, cache off), with when each of
// its files came. The first frame is the page's first WebGL draw, timed from its navigation.
// Usage: page_timing TERRAIN [RUNS]   (the web build is the one the tests were configured with)
#include "session.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <map>
#include <stdexcept>

namespace {

const char* const kFirstDraw = R"((function() {
  [window.WebGLRenderingContext, window.WebGL2RenderingContext].forEach(function(type) {
    ['drawArrays', 'drawElements'].forEach(function(name) {
      var draw = type.prototype[name];
      type.prototype[name] = function() {
        if (window.firstDraw === undefined) window.firstDraw = performance.now();
        return draw.apply(this, arguments);
      };
    });
  });
})())";

std::string evaluateTiming(DevTools& devtools) {
    return devtools.evaluate(
        "new Promise(function(done) { var end = performance.now() + 10000; (function look() {"
        "  if ((window.old || window.firstDraw === undefined) && performance.now() < end)"
        "    return setTimeout(look, 10);"
        "  done(window.firstDraw === undefined ? 'pending' : [firstDraw.toFixed(1)].concat("
        "    performance.getEntriesByType('navigation').concat(performance.getEntriesByType('resource'))"
        "    .map(e => e.name.replace(/.*\\//, '') + ' ' + e.startTime.toFixed(1) + ' ' + "
        "e.responseEnd.toFixed(1)))"
        "    .join('; ')); })(); })");
}

// The page loaded again, as on a first visit, its cache bypassed: "first draw; file start end; ..."
// in milliseconds, once it has drawn (or after 10 seconds, "pending").
std::string reload(DevTools& devtools) {
    // Each load timed is a first visit: the service worker the page registered once it had drawn is
    // let go first, with what it kept.
    devtools.evaluate(
        "Promise.all([navigator.serviceWorker.getRegistrations(), caches.keys()]).then(function(kept) {"
        "  return Promise.all(kept[0].map(function(worker) { return worker.unregister(); }).concat("
        "    kept[1].map(function(name) { return caches.delete(name); }))); }).then(function() {"
        "  window.old = true; })");
    devtools.call("Page.reload", {{"ignoreCache", true}});
    // Asked of the old page, until it goes, the question is asked again of the new one.
    for (int tries = 0; tries < 5; ++tries) {
        try {
            return evaluateTiming(devtools);
        } catch (const std::runtime_error&) {
        }
    }
    return "pending";
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: %s TERRAIN [RUNS]\n", argv[0]);
        return 2;
    }
    const int runs = argc == 3 ? std::atoi(argv[2]) : 7;
    try {
        std::map<std::string, std::vector<double>> firstDraws;
        for (int run = 0; run < runs; ++run) {
            Session session(chromiumLane(false),
                            [&](const TempDir& dir) { dir.write("sample.raw", readFile(argv[1])); });
            session.firstPicture();
            DevTools& devtools = session.viewer().devtools();
            devtools.call("Page.enable");
            devtools.call("Page.addScriptToEvaluateOnNewDocument", {{"source", kFirstDraw}});
            devtools.call("Network.enable");
            devtools.call("Network.setCacheDisabled", {{"cacheDisabled", true}});
            for (const std::string network : {"loopback", "slow"}) {
                if (network == "slow") {
                    devtools.call("Network.emulateNetworkConditions", {{"offline", false},
                                                                       {"latency", 100},
                                                                       {"downloadThroughput", 1250000},
                                                                       {"uploadThroughput", 1250000}});
                }
                const std::string timing = reload(devtools);
                std::printf("%s: %s\n", network.c_str(), timing.c_str());
                firstDraws[network].push_back(std::atof(timing.c_str()));
            }
            session.closeWindow();
        }
        for (auto& [network, times] : firstDraws) {
            std::sort(times.begin(), times.end());
            std::printf("median first frame, %s: %.1f ms of %zu runs\n", network.c_str(),
                        times[times.size() / 2], times.size());
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", argv[0], error.what());
        return 1;
    }
    return 0;
}
