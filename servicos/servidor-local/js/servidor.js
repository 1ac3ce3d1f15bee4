// Fills the placeholder page with what the server announces.
(function () {
  fetch('/netinfo').then(function (r) { return r.json(); }).then(function (info) {
    var el = document.getElementById('build');
    if (el) el.textContent = 'build ' + info.build + ' — ' + info.nome;
  }).catch(function () {});
})();
