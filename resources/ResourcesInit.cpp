// The images and sounds that the code names live in this library's Qt resources; the library
// needs one object of its own to exist.
namespace VaultineResources {
int linked = 1;
}
