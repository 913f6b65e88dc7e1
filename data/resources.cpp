// The resource library needs one translation unit of its own; the files
// themselves are compiled in by qt_add_resources.
namespace tovix_resources_anchor {
int anchor = 0;
}
