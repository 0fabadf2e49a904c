-- Prints one machine-readable line when a wrk run ends, for scripts/bench.sh.
done = function(summary, latency, requests)
    local e = summary.errors
    io.write(string.format("result requests=%d bytes=%d micros=%d socket_errors=%d non2xx=%d\n",
        summary.requests, summary.bytes, summary.duration,
        e.connect + e.read + e.write + e.timeout, e.status))
end
