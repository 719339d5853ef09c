// The course: a page packed for a learning system (qvm html --scorm) finds the
// system's SCORM 1.2 API in a window above its own, says the learner has
// begun, and says the lesson is completed once the movie's last frame has
// shown. A page without the course's mark, or with no API found, only plays.
(function () {
  'use strict';
  var mark = document.querySelector('meta[name="qv-course"]');
  if (!mark) return;
  var lastFrame = Number(mark.getAttribute('data-last-frame'));

  // The API sits on the window that opened the lesson or a frame around it.
  function findApi(w) {
    for (var depth = 0; w && depth < 8; depth++) {
      try { if (w.API) return w.API; } catch (e) { return null; }  // another origin
      if (w.parent === w) break;
      w = w.parent;
    }
    return null;
  }
  var lms = findApi(window) || (window.opener && findApi(window.opener));
  if (!lms) return;
  var finished = false, completed = false;
  if (String(lms.LMSInitialize('')) !== 'true') return;
  var status = String(lms.LMSGetValue('cmi.core.lesson_status'));
  if (status === 'not attempted' || status === '') lms.LMSSetValue('cmi.core.lesson_status', 'incomplete');

  QvPage.onLine = function (line) {
    var m = /^Frame (\d+): /.exec(line);
    if (completed || !m || Number(m[1]) !== lastFrame) return;
    completed = true;
    lms.LMSSetValue('cmi.core.lesson_status', 'completed');
    lms.LMSCommit('');
  };
  function finish() {
    if (finished) return;
    finished = true;
    lms.LMSFinish('');
  }
  window.addEventListener('pagehide', finish);
  window.addEventListener('beforeunload', finish);
})();
