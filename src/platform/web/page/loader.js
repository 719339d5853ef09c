// The loader, which make_page.py writes into each page: the page's code is
// kept compressed in the script element qv-player; the browser inflates it,
// and it takes over. The page names its boot call, says where a browser
// that cannot run it is told so, and may name a promise to wait for first.
function qvInflated(id) {
  var bin = atob(document.getElementById(id).textContent), bytes = new Uint8Array(bin.length);
  for (var i = 0; i < bin.length; i++) bytes[i] = bin.charCodeAt(i);
  return new Response(new Blob([bytes]).stream().pipeThrough(new DecompressionStream('gzip')));
}
function qvLoad(boot, failed, after) {
  (async function () {
    await after;
    (0, eval)(await qvInflated('qv-player').text());
    boot();
  })().catch(function (e) {
    console.error(e);
    failed(e);
  });
}
