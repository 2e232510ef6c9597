// Small helpers shared by all pages.
function lastUpdated() {
  var d = new Date(document.lastModified);
  var months = ["Jan","Feb","Mar","Apr","May","Jun","Jul","Aug","Sep","Oct","Nov","Dec"];
  document.write(d.getDate() + " " + months[d.getMonth()] + " " + d.getFullYear());
}

function popup(url) {
  window.open(url, "hollin", "width=420,height=320,scrollbars=yes");
  return false;
}
