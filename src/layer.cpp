// Every layer library holds at least this unit, so a layer without sources still links.
