// The picture on screen: the plug-in's canvas, in the module's memory, put
// onto a <canvas> the size of the stage, and the key help over it (on the
// stage, so it shows in fullscreen too, as lumhost play shows it in its
// window).
export class View {
  constructor(plugin, { stage, element, help }) {
    this.plugin = plugin;
    this.stage = stage;
    this.element = element;
    this.help = help;
    this.context = element.getContext('2d', { alpha: false });
    this.canvas = null;
    this.rgba = 0;
    this.rgbaBytes = 0;
    this.pending = false;
  }

  // Fits the plug-in's canvas to the stage; the figure's centre moves with it.
  fit() {
    const width = Math.max(16, Math.floor(this.stage.clientWidth)), height = Math.max(16, Math.floor(this.stage.clientHeight));
    if (this.canvas && this.canvas.width === width && this.canvas.height === height) return;
    const old = this.canvas;
    this.canvas = this.plugin.makeCanvas(width, height);
    this.plugin.freeCanvas(old);
    if (this.rgba) this.plugin.m._free(this.rgba);
    this.rgbaBytes = width * height * 4;
    this.rgba = this.plugin.alloc(this.rgbaBytes);
    this.element.width = width;
    this.element.height = height;
    this.draw();
  }

  draw() {
    const c = this.canvas, m = this.plugin.m;
    m._webCanvasToRgba(c.pixels, this.rgba, c.width * c.height);
    const data = new Uint8ClampedArray(m.HEAPU8.buffer, this.rgba, this.rgbaBytes);
    this.context.putImageData(new ImageData(data, c.width, c.height), 0, 0);
  }

  // Draws on the next animation frame (live sound arrives between them).
  request() {
    if (this.pending) return;
    this.pending = true;
    requestAnimationFrame(() => { this.pending = false; this.draw(); });
  }

  clear() {
    this.plugin.clearCanvas(this.canvas);
    this.draw();
  }

  // The key help: its lines written once, shown and hidden by `h`.
  setHelp(title, lines) {
    const heading = document.createElement('h2');
    heading.textContent = title;
    const body = document.createElement('pre');
    body.textContent = lines.join('\n');
    this.help.replaceChildren(heading, body);
  }

  get helpShown() { return !this.help.hidden; }

  toggleHelp(shown = !this.helpShown) {
    this.help.hidden = !shown;
    return shown;
  }

  // Pixels of the figure that are lit, or of one 0x00RRGGBB value.
  litPixels(value = null) {
    const bytes = this.plugin.canvasBytes(this.canvas);
    let lit = 0;
    for (let i = 0; i < bytes.length; i += 4) {
      const pixel = bytes[i] | (bytes[i + 1] << 8) | (bytes[i + 2] << 16);
      if (value === null ? pixel !== 0 : pixel === value) lit++;
    }
    return lit;
  }
}
