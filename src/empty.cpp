// Placeholder so that a library without sources of its own still builds.
namespace pelko {} // namespace pelko
