return {
    LrSdkVersion = 6.0,
    LrToolkitIdentifier = "com.quorvantic.velamorph4",
    LrPluginName = "Quorvantic Velamorph 4",
}
