// Under AddressSanitizer, GTK, GLib and the libraries under them keep caches and type
// data until the process ends, which LeakSanitizer reports at exit. Only allocations made
// inside those libraries are excused: GLib's allocators (never on the path of our own
// new/malloc) and the drawing, X and D-Bus libraries, which never call back into our code.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
  return "leak:g_malloc\n"
         "leak:g_malloc0\n"
         "leak:g_realloc\n"
         "leak:g_try_malloc\n"
         "leak:g_try_malloc0\n"
         "leak:g_slice_alloc\n"
         "leak:g_slice_alloc0\n"
         "leak:libfontconfig.so\n"
         "leak:libcairo.so\n"
         "leak:libpango-1.0.so\n"
         "leak:libpangoft2-1.0.so\n"
         "leak:libpangocairo-1.0.so\n"
         "leak:libharfbuzz.so\n"
         "leak:libpixman-1.so\n"
         "leak:libX11.so\n"
         "leak:libdbus-1.so\n"
         "leak:libxkbcommon.so\n"
         "leak:libEGL\n"
         "leak:libGLX\n"
         "leak:libepoxy.so\n"
         "leak:libwebkit2gtk-4.1.so\n"
         "leak:libjavascriptcoregtk-4.1.so\n";
}
