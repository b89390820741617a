// Leaks that LeakSanitizer finds inside third-party libraries the window tests
// load (GLib's type system and main context, PulseAudio and GStreamer behind
// QtMultimedia, fontconfig, D-Bus). They are one-time allocations those
// libraries keep for the life of the process; our own frames are never listed,
// so a leak in our code is still reported.
#if defined(__SANITIZE_ADDRESS__)
// Those libraries are built without frame pointers: the fast unwinder stops
// inside them and the stacks would never reach the frames named below.
extern "C" const char* __asan_default_options() { return "fast_unwind_on_malloc=0:print_suppressions=0"; }

extern "C" const char* __lsan_default_suppressions() {
  return "leak:libglib-2.0.so\n"
         "leak:libgobject-2.0.so\n"
         "leak:libgio-2.0.so\n"
         "leak:libpulse.so\n"
         "leak:libpulsecommon\n"
         "leak:libgstreamer-1.0.so\n"
         "leak:libgstbase-1.0.so\n"
         "leak:libfontconfig.so\n"
         "leak:libdbus-1.so\n"
         "leak:libasound.so\n";
}
#endif
