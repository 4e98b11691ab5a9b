// The page around the game: its command line from the address, its files kept in the browser's
// IndexedDB, the sound woken by the first key or click, and track files dropped on it.
(function () {
  var params = new URLSearchParams(window.location.search);
  var words = (params.get('args') || '').split(/\s+/).filter(function (w) { return w.length > 0; });
  var home = '/home/web_user';
  var message = function (text) { document.getElementById('message').textContent = text; };
  // Written out after each change the game makes; one write at a time, and one more if changes
  // came meanwhile. window.zvWrites counts the writes finished, for the page's tests.
  var writing = false, again = false;
  window.zvWrites = 0;
  function writeOut() {
    if (writing) { again = true; return; }
    writing = true;
    FS.syncfs(false, function (error) {
      if (error) console.error('zarvanto: the player\'s files could not be kept:', error);
      writing = false;
      window.zvWrites++;
      if (again) { again = false; writeOut(); }
    });
  }
  // Into the module emscripten made, which already holds the loading of the shipped tracks.
  Module.arguments = words;
  Module.canvas = document.getElementById('canvas');
  // The game's own words on standard output: a start it refuses ends the game with them, and the
  // page then shows them where the desktop's console would.
  var printed = [];
  Module.print = function (text) { console.log(text); printed.push(text); };
  Module.quit = function (status, thrown) {
    if (status !== 0) message(printed.join(' '));
    throw thrown;
  };
  // The game's own complaints are shown; the toolchain's notes about itself only go to the console.
  Module.printErr = function (text) {
    console.error(text);
    if (!/^WARNING: using emscripten/.test(text)) message(text);
  };
  Module.zvMessage = message;
  Module.preRun = Module.preRun || [];
  Module.preRun.push(function () {
      if (params.has('demo')) ENV.ZARVANTO_DEMO = '1';
      // The player's folders (records, ghosts, settings, own tracks) live under the home.
      FS.mount(IDBFS, {}, home);
      addRunDependency('zarvanto-files');
      FS.syncfs(true, function (error) {
        if (error) console.error('zarvanto: the player\'s files could not be read:', error);
        removeRunDependency('zarvanto-files');
      });
      // Every file the game keeps is written beside its place and renamed into it.
      var rename = FS.rename;
      FS.rename = function (from, to) { rename.call(FS, from, to); writeOut(); };
  });
})();

(function () {
  // Browsers start sound only after the player did something on the page.
  function wakeSound() {
    if (typeof AL === 'undefined' || !AL.contexts) return;
    for (var id in AL.contexts) {
      var context = AL.contexts[id];
      if (context && context.audioCtx && context.audioCtx.state === 'suspended') context.audioCtx.resume();
    }
  }
  window.addEventListener('keydown', wakeSound, true);
  window.addEventListener('mousedown', wakeSound, true);
  window.addEventListener('keyup', wakeSound, true);

  window.addEventListener('dragover', function (event) { event.preventDefault(); });
  window.addEventListener('drop', function (event) {
    event.preventDefault();
    Array.prototype.forEach.call(event.dataTransfer.files, function (file) {
      if (!/\.tck$/.test(file.name) || file.name.indexOf('/') >= 0) {
        Module.zvMessage(file.name + ': only .tck files join your tracks');
        return;
      }
      file.arrayBuffer().then(function (bytes) {
        var path = '/tmp/dropped.tck';
        FS.writeFile(path, new Uint8Array(bytes));
        var refused = Module.ccall('zvAddTrack', 'string', ['string', 'string'], [path, file.name]);
        Module.zvMessage(refused ? file.name + ': ' + refused : file.name + ' is now among your tracks');
      });
    });
  });
})();
