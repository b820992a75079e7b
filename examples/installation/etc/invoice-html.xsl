<?xml version="1.0" encoding="UTF-8"?>
<!-- A UBL 2.1 invoice as a page a person can read. -->
<xsl:stylesheet version="1.0"
    xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
    xmlns:inv="urn:oasis:names:specification:ubl:schema:xsd:Invoice-2"
    xmlns:cbc="urn:oasis:names:specification:ubl:schema:xsd:CommonBasicComponents-2"
    xmlns:cac="urn:oasis:names:specification:ubl:schema:xsd:CommonAggregateComponents-2"
    exclude-result-prefixes="inv cbc cac">
  <xsl:output method="html" encoding="UTF-8" indent="yes"/>

  <xsl:template match="/inv:Invoice">
    <html>
      <head><title>Invoice <xsl:value-of select="cbc:ID"/></title></head>
      <body>
        <h1>Invoice <xsl:value-of select="cbc:ID"/></h1>
        <p>Issued <xsl:value-of select="cbc:IssueDate"/>, due <xsl:value-of select="cbc:DueDate"/></p>
        <p>From <xsl:value-of select="cac:AccountingSupplierParty/cac:Party/cac:PartyName/cbc:Name"/>
           to <xsl:value-of select="cac:AccountingCustomerParty/cac:Party/cac:PartyName/cbc:Name"/></p>
        <table border="1">
          <tr><th>Item</th><th>Quantity</th><th>Unit price</th><th>Amount</th></tr>
          <xsl:for-each select="cac:InvoiceLine">
            <tr>
              <td><xsl:value-of select="cac:Item/cbc:Name"/></td>
              <td><xsl:value-of select="cbc:InvoicedQuantity"/></td>
              <td><xsl:value-of select="cac:Price/cbc:PriceAmount"/></td>
              <td><xsl:value-of select="cbc:LineExtensionAmount"/></td>
            </tr>
          </xsl:for-each>
        </table>
        <p>Total payable: <xsl:value-of select="cac:LegalMonetaryTotal/cbc:PayableAmount"/>
           <xsl:text> </xsl:text><xsl:value-of select="cbc:DocumentCurrencyCode"/></p>
      </body>
    </html>
  </xsl:template>
</xsl:stylesheet>
