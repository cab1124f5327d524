// Live sound: the microphone, or a tab's or the screen's sound. Each block
// is drawn as soon as its sound has arrived; live sound is never played
// back (what a tab plays would be heard twice).
import { BlockCutter } from './blocks.js';

export class LiveError extends Error {}

export async function openMicrophone() {
  if (!navigator.mediaDevices?.getUserMedia) throw new LiveError('This browser gives no microphone to pages.');
  try {
    return await navigator.mediaDevices.getUserMedia({ audio: { echoCancellation: false, noiseSuppression: false, autoGainControl: false } });
  } catch (e) {
    if (e.name === 'NotAllowedError' || e.name === 'SecurityError') throw new LiveError('The microphone was refused. Allow it in the browser’s site settings to use it.');
    if (e.name === 'NotFoundError') throw new LiveError('No microphone was found.');
    throw new LiveError(`The microphone could not be opened (${e.message || e.name}).`);
  }
}

export async function openScreenSound() {
  if (!navigator.mediaDevices?.getDisplayMedia) throw new LiveError('This browser cannot share a tab’s or the screen’s sound.');
  let stream;
  try {
    stream = await navigator.mediaDevices.getDisplayMedia({ video: true, audio: true });
  } catch (e) {
    if (e.name === 'NotAllowedError' || e.name === 'SecurityError') throw new LiveError('Sharing a tab or the screen was refused or cancelled.');
    throw new LiveError(`A tab or the screen could not be shared (${e.message || e.name}).`);
  }
  if (stream.getAudioTracks().length === 0) {
    for (const t of stream.getTracks()) t.stop();
    throw new LiveError('What was shared has no sound. Share a tab and tick “Share tab audio”, or the whole screen with its sound.');
  }
  for (const t of stream.getVideoTracks()) t.stop();
  return new MediaStream(stream.getAudioTracks());
}

export class LiveInput {
  constructor(plugin, view, { fps, onEnded = () => {} } = {}) {
    this.plugin = plugin;
    this.view = view;
    this.fps = fps;
    this.onEnded = onEnded;
    this.blocks = 0;
  }

  async start(stream, name) {
    this.name = name;
    this.stream = stream;
    this.context = new AudioContext();
    await this.context.audioWorklet.addModule(new URL('./capture-worklet.js', import.meta.url));
    const rate = this.context.sampleRate;
    this.rate = rate;
    this.cutter = new BlockCutter(this.plugin, { rate, channels: 2, fps: this.fps });
    this.input = this.context.createMediaStreamSource(stream);
    this.node = new AudioWorkletNode(this.context, 'gyrotrail-capture', { numberOfInputs: 1, numberOfOutputs: 0 });
    this.node.port.onmessage = (event) => this.arrive(event.data);
    this.input.connect(this.node);
    for (const t of stream.getAudioTracks()) t.addEventListener('ended', () => { this.stop(); this.onEnded(); });
    this.plugin.start();
    await this.context.resume();
  }

  arrive(piece) {
    if (!this.cutter) return;
    this.cutter.push(piece);
    let drawn = 0;
    while (this.cutter.next()) {
      this.cutter.draw(this.view.canvas);
      drawn++;
    }
    this.blocks += drawn;
    if (drawn > 0) this.view.request();
  }

  stop() {
    if (!this.cutter) return;
    this.cutter.free();
    this.cutter = null;
    this.input?.disconnect();
    this.node?.disconnect();
    for (const t of this.stream.getTracks()) t.stop();
    this.context?.close();
    this.plugin.end();
  }
}
