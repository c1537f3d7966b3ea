window.trawlkitScriptRan = true;
