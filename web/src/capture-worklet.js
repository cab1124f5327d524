// Passes what a live input delivers to the page, interleaved stereo (a mono
// input feeds both channels), in pieces of about 20 ms.
class CaptureProcessor extends AudioWorkletProcessor {
  constructor() {
    super();
    this.piece = new Float32Array(2 * 1024);
    this.filled = 0;
  }

  process(inputs) {
    const input = inputs[0];
    if (input && input.length > 0) {
      const left = input[0], right = input[1] ?? input[0];
      for (let i = 0; i < left.length; i++) {
        this.piece[2 * this.filled] = left[i];
        this.piece[2 * this.filled + 1] = right[i];
        if (++this.filled === this.piece.length / 2) {
          this.port.postMessage(this.piece, [this.piece.buffer]);
          this.piece = new Float32Array(2 * 1024);
          this.filled = 0;
        }
      }
    }
    return true;
  }
}

registerProcessor('gyrotrail-capture', CaptureProcessor);
