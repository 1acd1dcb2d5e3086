// The page's side of the web backends (platform/web/WebPage.h lists the functions). What the page
// itself provides lives on Module: canvas (the show's canvas), audioContext (a running Web Audio
// context, or none), events (the queue of display event codes the page pushes), and the hooks
// onPresent (a frame was shown) and onSound (sound started or stopped). Module.busyMs adds up the
// time the show's code holds the page's thread, for the page's load figure.
mergeInto(LibraryManager.library, {
  $introPage: {
    resumed: 0,
    // Runs fn (a C function taking user) unless the program has ended, counting its time as busy.
    call: function(fn, user) {
      if (ABORT) return;
      var start = performance.now();
      getWasmTableEntry(fn)(user);
      Module.busyMs = (Module.busyMs || 0) + performance.now() - start;
    },
  },
  $introPage__deps: ['$getWasmTableEntry'],

  intro_display_open: function(width, height) {
    var canvas = Module.canvas;
    if (!canvas) return 0;
    canvas.width = width;
    canvas.height = height;
    Module.context2d = canvas.getContext('2d', {alpha: false});
    introPage.resumed = performance.now();
    return Module.context2d ? 1 : 0;
  },
  intro_display_open__deps: ['$introPage'],

  intro_display_show: function(pixels, width, height) {
    var image = new ImageData(new Uint8ClampedArray(HEAPU8.buffer, pixels, width * height * 4), width, height);
    Module.context2d.putImageData(image, 0, 0);
    if (Module.onPresent) Module.onPresent();
  },

  // Sleeps until the next animation frame, or 100 ms at most: a hidden page gets no animation
  // frames, and the show must go on to notice that it has been hidden.
  intro_display_wait_frame: function() {
    Module.busyMs = (Module.busyMs || 0) + performance.now() - introPage.resumed;
    return Asyncify.handleSleep(function(wakeUp) {
      var timer;
      function wake() {
        if (!timer) return;
        clearTimeout(timer);
        timer = 0;
        introPage.resumed = performance.now();
        wakeUp();
      }
      timer = setTimeout(wake, 100);
      requestAnimationFrame(wake);
    });
  },
  intro_display_wait_frame__deps: ['$Asyncify', '$introPage'],

  intro_display_next_event: function() {
    var events = Module.events;
    return events && events.length ? events.shift() : -1;
  },

  // Liberation Sans's widest advance (2740 or, bold, 2730 units) over its cell (2288 units).
  intro_font_max_width: function(cell, weight) {
    return Math.round(cell * (weight >= 600 ? 2730 : 2740) / 2288);
  },

  intro_font_draw: function(text, pixels, width, height, cell, weight) {
    var canvas = document.createElement('canvas');
    canvas.width = width;
    canvas.height = height;
    var c = canvas.getContext('2d', {willReadFrequently: true});
    if (!c) return 0;
    var family = ' Arial,"Liberation Sans",sans-serif';
    var bold = Math.min(900, Math.max(100, Math.round(weight / 100) * 100)) + ' ';
    c.font = bold + '100px' + family;
    var metrics = c.measureText('H');
    var ascent = metrics.fontBoundingBoxAscent, descent = metrics.fontBoundingBoxDescent;
    if (!(ascent + descent > 0)) {
      ascent = 90.5;  // Arial's 1854 and 434 units of 2048, at 100 px
      descent = 21.2;
    }
    var size = cell * 100 / (ascent + descent);
    c.font = bold + size + 'px' + family;
    c.fillStyle = '#fff';
    var string = '';
    for (var i = 0; HEAPU8[text + i]; ++i) string += String.fromCharCode(HEAPU8[text + i]);
    c.fillText(string, 0, Math.round(ascent * size / 100));
    var data = c.getImageData(0, 0, width, height).data;
    for (var p = 0; p < width * height; ++p)
      if (data[4 * p + 3]) HEAPU32[(pixels >> 2) + p] = data[4 * p + 3] * 0x010101;
    return 1;
  },

  intro_audio_open: function(rate) {
    var context = Module.audioContext;
    Module.audioRate = rate;
    return context && context.state == 'running' ? 1 : 0;
  },

  // Passes run when a piece ends, and every 100 ms besides: pieces that came too late to be played
  // at all never end, and a pass must still come.
  intro_audio_play: function(pass, player) {
    var context = Module.audioContext;
    var run = function() { introPage.call(pass, player); };
    Module.audio = {start: context.currentTime + 0.05, pieces: new Set(), run: run, timer: setInterval(run, 100)};
    if (Module.onSound) Module.onSound(true);
  },
  intro_audio_play__deps: ['$introPage'],

  intro_audio_queue: function(samples, frames, first) {
    var audio = Module.audio, context = Module.audioContext, rate = Module.audioRate;
    var when = audio.start + first / rate, late = context.currentTime - when;
    if (late * rate >= frames) return;
    var buffer = context.createBuffer(2, frames, rate);
    var left = buffer.getChannelData(0), right = buffer.getChannelData(1);
    for (var i = 0, s = samples >> 1; i < frames; ++i, s += 2) {
      left[i] = HEAP16[s] / 32768;
      right[i] = HEAP16[s + 1] / 32768;
    }
    var piece = context.createBufferSource();
    piece.buffer = buffer;
    piece.connect(context.destination);
    piece.onended = function() {
      audio.pieces.delete(piece);
      if (Module.audio == audio) audio.run();
    };
    if (late > 0) piece.start(0, late); else piece.start(when);
    audio.pieces.add(piece);
  },

  intro_audio_played: function() {
    var audio = Module.audio, context = Module.audioContext;
    if (!audio) return 0;
    var heard = context.currentTime - audio.start - (context.outputLatency || context.baseLatency || 0);
    return heard > 0 ? Math.floor(heard * Module.audioRate) : 0;
  },

  intro_audio_stop: function() {
    var audio = Module.audio;
    if (!audio) return;
    Module.audio = null;
    clearInterval(audio.timer);
    audio.pieces.forEach(function(piece) { piece.onended = null; piece.stop(); });
    if (Module.onSound) Module.onSound(false);
  },

  intro_timer_start: function(milliseconds, tick, user) {
    return setInterval(function() { introPage.call(tick, user); }, milliseconds);
  },
  intro_timer_start__deps: ['$introPage'],

  intro_timer_stop: function(id) { clearInterval(id); },
});
