// The author page's demuxer: the video track of an MP4, MOV, WebM or MKV
// file as encoded pictures for the browser's VideoDecoder. Bundled into the
// page when it is built (esbuild); the page itself fetches nothing.
import { BlobSource, EncodedPacketSink, Input, MATROSKA, MP4, QTFF, WEBM } from 'mediabunny';

globalThis.QvDemux = {
  open(file) {
    return new Input({ source: new BlobSource(file), formats: [MP4, QTFF, WEBM, MATROSKA] });
  },
  packets(track) { return new EncodedPacketSink(track).packets(); }
};
