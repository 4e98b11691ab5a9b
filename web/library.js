// The one piece of the emulation's state the page's own glColor4f sets, so arrays drawn without
// colours take the current one.
mergeInto(LibraryManager.library, {
  zvClientColour__deps: ['$GLImmediate'],
  zvClientColour: function (r, g, b, a) {
    GLImmediate.clientColor[0] = r;
    GLImmediate.clientColor[1] = g;
    GLImmediate.clientColor[2] = b;
    GLImmediate.clientColor[3] = a;
  },
});
