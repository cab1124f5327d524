// Passes what a live input delivers to the page as stereo (a mono input
// feeds both channels) in pieces of about 20 ms, each the left plane and
// then the right, as the block cutter takes them.
const pieceFrames = 1024;

class CaptureProcessor extends AudioWorkletProcessor {
  constructor() {
    super();
    this.piece = new Float32Array(2 * pieceFrames);
    this.filled = 0;
  }

  process(inputs) {
    const input = inputs[0];
    if (input && input.length > 0) {
      const left = input[0], right = input[1] ?? input[0];
      for (let i = 0; i < left.length; i++) {
        this.piece[this.filled] = left[i];
        this.piece[pieceFrames + this.filled] = right[i];
        if (++this.filled === pieceFrames) {
          this.port.postMessage(this.piece, [this.piece.buffer]);
          this.piece = new Float32Array(2 * pieceFrames);
          this.filled = 0;
        }
      }
    }
    return true;
  }
}

registerProcessor('gyrotrail-capture', CaptureProcessor);
