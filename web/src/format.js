// Small pieces of the page's text: times, sizes, progress.

// 83.4 -> "1:23", 3725 -> "1:02:05".
export function formatTime(seconds) {
  if (!Number.isFinite(seconds) || seconds < 0) seconds = 0;
  const whole = Math.floor(seconds);
  const h = Math.floor(whole / 3600), m = Math.floor((whole % 3600) / 60), s = whole % 60;
  const ss = String(s).padStart(2, '0');
  return h > 0 ? `${h}:${String(m).padStart(2, '0')}:${ss}` : `${m}:${ss}`;
}

// "1280x720" -> {width: 1280, height: 720}; null for anything else or a
// side outside 16..7680.
export function parseSize(text) {
  const m = /^\s*(\d{1,5})\s*[x×]\s*(\d{1,5})\s*$/i.exec(String(text));
  if (!m) return null;
  const width = Number(m[1]), height = Number(m[2]);
  if (width < 16 || height < 16 || width > 7680 || height > 7680) return null;
  return { width, height };
}

// Time left from the share done and the time spent so far; null until
// there is enough to go on.
export function timeLeft(done, total, elapsedSeconds) {
  if (!(total > 0) || done <= 0 || elapsedSeconds < 0.5) return null;
  const share = Math.min(done / total, 1);
  return (elapsedSeconds / share) * (1 - share);
}

// A file name for a saved video from the sound's name: "song.flac" -> "song-gyrotrail.mp4".
export function videoName(soundName, extension) {
  const base = String(soundName || 'gyrotrail').replace(/\.[^./\\]*$/, '').replace(/[\\/:*?"<>|]+/g, '_') || 'gyrotrail';
  return `${base}-gyrotrail.${extension}`;
}
