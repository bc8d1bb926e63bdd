#pragma once

// Every wait of the window tests ends on an event: a change to a window, a line on a pipe, a
// process's end, an answer. These are the deadlines that end a wait whose event never comes, and
// the one pause. Each is long enough for the slowest machine the tests run on (Debian 12 arm64 under
// qemu-user, beside busy loops) to do its part several times over. Past one, a test judges what it
// sees, and fails where that is wrong.

// A frame reaches the window as several changes: a GL swap writes it in bands, and a browser paints
// its layers one after another. The longest gap seen between the changes of one frame was 0.21 s
// (Wine and Firefox, with two builds and other browsers running alongside). The window is taken to
// show a frame whole once it has gone this long without a change, and only once the viewer has
// taken in every event sent (Session::picture). It only ever ends a wait that an event began.
inline constexpr double kQuietSeconds = 0.3;

// How long a viewer may take to do what a test waits for: show its window, draw, answer a drag,
// end once its window has closed; a browser's answer through DevTools.
inline constexpr double kDeadlineSeconds = 30.0;

// How long a browser may take to end once its page has unloaded and its window has gone. That is
// the browser's own business, not the page's: past it the browser is stopped, and a test says so
// but does not fail. Firefox on a bare system with four busy loops takes up to 2 s.
inline constexpr double kBrowserEndSeconds = 30.0;

// A helper the tests start: the tests' web server and an X server say they are up within this.
inline constexpr double kHelperSeconds = 20.0;

// A lane's first start, before its first timed case: its program and libraries read from a cold
// disk, Wine's services started on the lane's server. It is given ten times the deadline of a later
// start, and the test says so where it takes over twice that.
inline constexpr double kFirstStartSeconds = 300.0;
inline constexpr double kSlowFirstStartSeconds = 60.0;

// Setting the Wine desktop's DPI restarts its server (tests/wine_server.sh), which takes Wine's
// services up again.
inline constexpr double kWineDpiSeconds = 60.0;

// A process that is asked to stop (SIGTERM) is killed after this long.
inline constexpr double kStopSeconds = 3.0;

// ctest's limit on a whole case (read by tests/e2e/CMakeLists.txt), a net for a hang alone: each
// wait above has its own deadline. The longest case starts seven viewers; on Debian 12 arm64 under
// qemu-user, beside a second test run and two busy loops, it took over two minutes. A lane's first
// start has its own limit, twice this.
inline constexpr double kCaseSeconds = 600.0;
