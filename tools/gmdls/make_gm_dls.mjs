// Makes the default DLS sound set from a General MIDI SoundFont:
//   node make_gm_dls.mjs IN.sf2 OUT.dls
// Every wave is resampled to 22,050 Hz with a Kaiser-windowed sinc filter and
// written as 16-bit mono PCM; OUT.dls.json lists each wave's old and new form.
import { readFileSync, statSync, writeFileSync } from "node:fs";
import { SoundBankLoader } from "spessasynth_core";

const RATE = 22050;
const ZERO_CROSSINGS = 32;  // of the filter's lower band, each side
const KAISER_BETA = 9;

function besselI0(x) {
    let sum = 1, term = 1;
    for (let k = 1; k < 50; k++) {
        term *= (x / (2 * k)) ** 2;
        sum += term;
        if (term < 1e-12 * sum) break;
    }
    return sum;
}

// The length of a wave at the new rate: the old length scaled, rounded to the
// nearest whole sample, halves up (exact in integers).
function resampledLength(length, rate) {
    return Math.floor((2 * length * RATE + rate) / (2 * rate));
}

// Band-limited resampling of `input` (floats) from `rate` to RATE. The cutoff
// is the lower of the two Nyquist frequencies; the result is rounded to
// 16-bit steps so that the writer stores exactly these values.
function resample(input, rate) {
    const outLength = resampledLength(input.length, rate);
    const out = new Float32Array(outLength);
    const step = rate / RATE;                 // source samples per output sample
    const cutoff = Math.min(1, RATE / rate);  // relative to the source Nyquist
    const half = Math.ceil(ZERO_CROSSINGS / cutoff);
    const norm = besselI0(KAISER_BETA);
    for (let i = 0; i < outLength; i++) {
        const t = i * step;
        const centre = Math.floor(t);
        let acc = 0;
        for (let j = centre - half + 1; j <= centre + half; j++) {
            if (j < 0 || j >= input.length) continue;
            const x = t - j;
            const r = x / half;
            if (r <= -1 || r >= 1) continue;
            const window = besselI0(KAISER_BETA * Math.sqrt(1 - r * r)) / norm;
            const arg = Math.PI * cutoff * x;
            const sinc = arg === 0 ? 1 : Math.sin(arg) / arg;
            acc += input[j] * cutoff * sinc * window;
        }
        let q = Math.round(acc * 32768);
        if (q > 32767) q = 32767;
        if (q < -32768) q = -32768;
        out[i] = q / 32768;
    }
    return out;
}

function main() {
    const [input, output] = process.argv.slice(2);
    if (!input || !output) {
        console.error("usage: node make_gm_dls.mjs IN.sf2 OUT.dls");
        process.exit(1);
    }
    const file = readFileSync(input);
    const bank = SoundBankLoader.fromArrayBuffer(file.buffer.slice(file.byteOffset, file.byteOffset + file.byteLength));
    const waves = [];
    for (const sample of bank.samples) {
        const data = sample.getAudioData();
        const rate = sample.sampleRate;
        const entry = {
            name: sample.name,
            originalRate: rate,
            originalLength: data.length,
            length: data.length,
            loopStart: sample.loopStart,
            loopEnd: sample.loopEnd,
        };
        const resampled = rate === RATE ? Float32Array.from(data) : resample(data, rate);
        const ratio = RATE / rate;
        const clamp = (v) => Math.max(0, Math.min(resampled.length, v));
        sample.loopStart = clamp(Math.round(sample.loopStart * ratio));
        sample.loopEnd = clamp(Math.round(sample.loopEnd * ratio));
        sample.setAudioData(resampled, RATE);
        entry.length = resampled.length;
        entry.loopStart = sample.loopStart;
        entry.loopEnd = sample.loopEnd;
        waves.push(entry);
    }
    // The same input gives the same bytes: the creation date is the input's.
    bank.soundBankInfo.creationDate = new Date(Math.floor(statSync(input).mtimeMs / 1000) * 1000);
    const dls = new Uint8Array(bank.writeDLS());
    writeFileSync(output, dls);
    writeFileSync(`${output}.json`, JSON.stringify({ rate: RATE, waves }, null, 1));
    console.log(`${input} -> ${output}: ${bank.presets.length} presets, ${waves.length} waves, ${dls.length} bytes`);
}

main();
