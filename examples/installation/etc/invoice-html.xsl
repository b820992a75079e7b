<?xml version="1.0" encoding="UTF-8"?>
<!-- A UBL 2.1 invoice or credit note as a page a person can read. -->
<xsl:stylesheet version="1.0"
    xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
    xmlns:inv="urn:oasis:names:specification:ubl:schema:xsd:Invoice-2"
    xmlns:cn="urn:oasis:names:specification:ubl:schema:xsd:CreditNote-2"
    xmlns:cbc="urn:oasis:names:specification:ubl:schema:xsd:CommonBasicComponents-2"
    xmlns:cac="urn:oasis:names:specification:ubl:schema:xsd:CommonAggregateComponents-2"
    exclude-result-prefixes="inv cn cbc cac">
  <xsl:output method="html" encoding="UTF-8" indent="yes"/>

  <xsl:template match="/inv:Invoice | /cn:CreditNote">
    <xsl:variable name="kind">
      <xsl:choose>
        <xsl:when test="self::cn:CreditNote">Credit note</xsl:when>
        <xsl:otherwise>Invoice</xsl:otherwise>
      </xsl:choose>
    </xsl:variable>
    <html>
      <head><title><xsl:value-of select="concat($kind, ' ', cbc:ID)"/></title></head>
      <body>
        <h1><xsl:value-of select="concat($kind, ' ', cbc:ID)"/></h1>
        <p>Issued <xsl:value-of select="cbc:IssueDate"/>, due <xsl:value-of select="cbc:DueDate | cac:PaymentMeans/cbc:PaymentDueDate"/></p>
        <p>From <xsl:value-of select="cac:AccountingSupplierParty/cac:Party/cac:PartyName/cbc:Name"/>
           to <xsl:value-of select="cac:AccountingCustomerParty/cac:Party/cac:PartyName/cbc:Name"/></p>
        <table border="1">
          <tr><th>Item</th><th>Quantity</th><th>Unit price</th><th>Amount</th></tr>
          <xsl:for-each select="cac:InvoiceLine | cac:CreditNoteLine">
            <tr>
              <td><xsl:value-of select="cac:Item/cbc:Name"/></td>
              <td><xsl:value-of select="cbc:InvoicedQuantity | cbc:CreditedQuantity"/></td>
              <td><xsl:value-of select="cac:Price/cbc:PriceAmount"/></td>
              <td><xsl:value-of select="cbc:LineExtensionAmount"/></td>
            </tr>
          </xsl:for-each>
        </table>
        <p><xsl:choose>
             <xsl:when test="self::cn:CreditNote">Total credited: </xsl:when>
             <xsl:otherwise>Total payable: </xsl:otherwise>
           </xsl:choose><xsl:value-of select="cac:LegalMonetaryTotal/cbc:PayableAmount"/>
           <xsl:text> </xsl:text><xsl:value-of select="cbc:DocumentCurrencyCode"/></p>
      </body>
    </html>
  </xsl:template>
</xsl:stylesheet>
