// Live reload for pages served by Site Launcher. One connection per page to the server's event
// stream: "css" swaps the page's stylesheets in place (no reload, the scroll position stays),
// "reload" reloads the page. EventSource reconnects by itself when the site is stopped and started
// again; the server then sends "reload" if anything changed in between.
(function () {
    "use strict";
    if (window.__siteLauncherLiveReload || typeof EventSource !== "function") return;
    window.__siteLauncherLiveReload = true;

    function refreshStylesheets() {
        var stamp = String(Date.now());
        var links = document.querySelectorAll("link[rel]");
        for (var i = 0; i < links.length; i++) {
            var link = links[i];
            if (!/(^|\s)stylesheet(\s|$)/i.test(link.rel) || !link.href) continue;
            var url = new URL(link.href, location.href);
            if (url.origin !== location.origin) continue;
            url.searchParams.set("site-launcher-reload", stamp);
            link.href = url.href;
        }
    }

    var source = new EventSource("/.site-launcher/live-reload");
    source.addEventListener("css", refreshStylesheets);
    source.addEventListener("reload", function () {
        source.close();
        location.reload();
    });
})();
